#pragma once

#include "base/FileIdentity.h"
#include "simulator/SimClock.h"

#include <filesystem>
#include <string>
#include <vector>

// The options every command takes. Overrides hold for this run only: they are never written into
// the options file.
struct CommonOptions {
    std::string port;        // empty: the option Port
    std::string history;     // empty: the option RecordingHistoryFile
    std::string optionsFile; // empty: "Nivaro.xml" in the start-up directory
    bool realtime = false;   // the simulator on the real clock
    bool userData = false;   // work in the user data folder instead of the current directory
};

// A run that works with the options, in the desktop entry's order: start-up directory, options
// (loaded by the first access), log configured from LogLevel and LogToFile, "Application Started";
// at the end "Application Exited". The options file is written only by SaveOptions, which the
// commands that learn about the station call when they succeeded; reading commands leave it alone.
class CliSession {
public:
    // Raises CliFailure when the options file exists but is not one (it is never overwritten then),
    // and when two of the program's own files are one file.
    explicit CliSession(const CommonOptions& common);
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    std::string Port() const;
    std::filesystem::path HistoryFile() const;
    ClockMode SimulatorClock() const { return m_common.realtime ? ClockMode::Real : ClockMode::Virtual; }

    // The image file of a simulated station ("sim:FILE"); empty for any other port.
    std::filesystem::path StationImage() const;
    // The program's own files this run: options, history, a simulated station's image and its lock.
    std::vector<FileInRole> OwnFiles() const;
    // Raises CliFailure when path is one of the program's own files.
    void RefuseOwnFile(const std::string& role, const std::filesystem::path& path) const;

    // Saves the options now so that a file that cannot be written is reported (one line on
    // stderr; the command's result stands).
    void SaveOptions();

private:
    CommonOptions m_common;
    std::filesystem::path m_optionsFile;
};
