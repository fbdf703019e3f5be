#pragma once

#include <filesystem>

// Where the shared files (language texts) of a program installed as "<prefix>/bin/<name>" are:
// "<prefix>/share/nivaro". Found from the program's own path, so a package installed under /usr
// and a build installed under any prefix both find theirs.
std::filesystem::path InstalledDataDirectory(const std::filesystem::path& executable);

// The same for this process's program; empty when its path cannot be read.
std::filesystem::path InstalledDataDirectory();
