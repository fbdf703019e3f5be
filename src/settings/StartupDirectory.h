#pragma once

#include <filesystem>

// The directory that was current when the program first asked for it. The options file, the
// default history file and the language texts are looked up there; it never changes afterwards.
const std::filesystem::path& StartupDirectory();
