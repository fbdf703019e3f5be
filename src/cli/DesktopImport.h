#pragma once

#include <optional>

class CliSession;
struct ImportArgs;

// When a desktop program of this user holds the station's port, hands it the import, waits for
// it and prints its result as an import of our own would; returns the exit code, or raises
// CliFailure with the reason. Nothing when no desktop program answers (no socket, one left by a
// program that ended): the command then imports itself.
std::optional<int> ImportThroughDesktop(const CliSession& session, const ImportArgs& args);
