#include "cli/CliSession.h"

#include "cli/CliFailure.h"
#include "history/HistoryFileLock.h"
#include "log/Logger.h"
#include "platform/PortName.h"
#include "settings/Options.h"
#include "settings/StartupDirectory.h"
#include "settings/UserDataFolder.h"
#include "simulator/SimulatorTarget.h"

#include <tinyxml2.h>

#include <iostream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The desktop program replaces an options file it cannot parse with its defaults; a command
// line that names the wrong file (a history file, say) must not destroy it.
void CheckOptionsFile(const fs::path& file) {
    std::error_code error;
    const auto status = fs::status(file, error);
    if (!fs::exists(status))
        return;
    if (fs::is_directory(status))
        throw CliFailure("options file " + Quoted(file.string()) + " is a directory");
    if (!fs::is_regular_file(status)) // opening a FIFO would wait for a writer
        throw CliFailure("options file " + Quoted(file.string()) + " is not a regular file");
    if (fs::is_regular_file(status) && fs::file_size(file, error) == 0 && !error)
        return;
    tinyxml2::XMLDocument document;
    if (document.LoadFile(file.c_str()) != tinyxml2::XML_SUCCESS)
        throw CliFailure("options file " + Quoted(file.string()) + " is not an options file (" +
                         document.ErrorStr() + "); it is left unchanged");
}

} // namespace

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

CliSession::CliSession(const CommonOptions& common) : m_common(common) {
    if (common.userData) {
        try {
            EnterUserDataFolder();
        } catch (const std::runtime_error& e) {
            throw CliFailure(e.what());
        }
    }
    const fs::path& startup = StartupDirectory();
    m_optionsFile = common.optionsFile.empty() ? startup / "Nivaro.xml" : fs::absolute(common.optionsFile);
    CheckOptionsFile(m_optionsFile);
    COptionsImpl::UseFile(m_optionsFile);
    Options().SetSaveAtExit(false);
    // Whoever waits for another program's history file is told at once, not after the wait.
    HistoryFileLock::SetWaitNotice(
        [](const std::string& what) { std::cerr << "nivaro-cli: " << what << std::endl; });
    CLogger::Instance().SetLevel(Options().GetLogLevel());
    CLogger::Instance().SetFileOutput(Options().GetLogToFile());
    CLogger::Instance().Log(30, "Application Started");
    if (const auto mixedUp = FileInTwoRoles(OwnFiles()))
        throw CliFailure(*mixedUp + "; nothing was changed");
}

fs::path CliSession::StationImage() const {
    const PortTarget port = ResolvePortName(Port());
    if (port.kind != PortTarget::Kind::Simulator)
        return {};
    try {
        return ParseSimulatorTarget(port.path).imageFile;
    } catch (const std::invalid_argument&) {
        return {}; // a port name the simulator refuses is reported when the port is opened
    }
}

std::vector<FileInRole> CliSession::OwnFiles() const {
    std::vector<FileInRole> files{{"options file", m_optionsFile}, {"history file", HistoryFile()}};
    if (const fs::path image = StationImage(); !image.empty()) {
        files.push_back({"station image", image});
        files.push_back({"station image's lock", image.string() + ".lock"});
    }
    return files;
}

void CliSession::RefuseOwnFile(const std::string& role, const fs::path& path) const {
    std::vector<FileInRole> files = OwnFiles();
    files.push_back({role, path});
    if (const auto mixedUp = FileInTwoRoles(files))
        throw CliFailure(*mixedUp + "; nothing was changed");
}

CliSession::~CliSession() {
    CLogger::Instance().Log(30, "Application Exited");
}

std::string CliSession::Port() const {
    return m_common.port.empty() ? Options().GetPort() : m_common.port;
}

fs::path CliSession::HistoryFile() const {
    return m_common.history.empty() ? Options().GetRecordingHistoryFile() : fs::absolute(m_common.history);
}

void CliSession::SaveOptions() {
    if (!Options().SaveOptions())
        std::cerr << "nivaro-cli: options file " << Quoted(m_optionsFile.string()) << " could not be written"
                  << std::endl;
}
