#pragma once

#include "base/Check.h"

#include <stdexcept>
#include <string>

// The command line's exit codes.
enum CliExitCode {
    ExitSuccess = 0,
    ExitUsage = 1,        // bad arguments
    ExitFailure = 2,      // the station or a file failed
    ExitInterrupted = 130 // Ctrl+C (128 + SIGINT)
};

// A failure that ends the command: one line for stderr and the exit code.
class CliFailure : public std::runtime_error {
public:
    CliFailure(const std::string& message, int exitCode = ExitFailure)
        : std::runtime_error(message), m_exitCode(exitCode) {}
    int ExitCode() const { return m_exitCode; }

private:
    int m_exitCode;
};

// "'path'" for messages.
std::string Quoted(const std::string& text);
