#include "cli/CliSession.h"

#include "cli/CliFailure.h"
#include "log/Logger.h"
#include "settings/Options.h"
#include "settings/StartupDirectory.h"

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

CliSession::CliSession(const CommonOptions& common) : _common(common) {
    const fs::path& startup = StartupDirectory();
    _optionsFile = common.optionsFile.empty() ? startup / "Nivaro.xml" : fs::absolute(common.optionsFile);
    CheckOptionsFile(_optionsFile);
    COptionsImpl::UseFile(_optionsFile);
    CLogger::Instance().SetLevel(Options().GetLogLevel());
    CLogger::Instance().SetFileOutput(Options().GetLogToFile());
    CLogger::Instance().Log(30, "Application Started");
}

CliSession::~CliSession() {
    CLogger::Instance().Log(30, "Application Exited");
}

std::string CliSession::Port() const {
    return _common.port.empty() ? Options().GetPort() : _common.port;
}

fs::path CliSession::HistoryFile() const {
    return _common.history.empty() ? Options().GetRecordingHistoryFile() : fs::absolute(_common.history);
}

void CliSession::SaveOptions() {
    if (!Options().SaveOptions())
        std::cerr << "nivaro-cli: options file " << Quoted(_optionsFile.string()) << " could not be written"
                  << std::endl;
}
