#include "cli/CliSession.h"

#include "cli/CliFailure.h"
#include "log/Logger.h"
#include "settings/Options.h"
#include "settings/StartupDirectory.h"
#include "settings/UserDataFolder.h"

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

std::string PlainReason(const std::string& text) {
    // "File.cpp(165): Expression 'fd >= 0' failed. " in front of the message, possibly after a prefix.
    static const std::string expressionMark = "): Expression '";
    static const std::string failedMark = "' failed.";
    std::string plain = text;
    for (;;) {
        const auto expression = plain.find(expressionMark);
        if (expression == std::string::npos)
            break;
        const auto failed = plain.find(failedMark, expression);
        const auto open = plain.rfind('(', expression);
        if (failed == std::string::npos || open == std::string::npos)
            break;
        const auto blank = plain.find_last_of(' ', open);
        const auto start = blank == std::string::npos ? 0 : blank + 1;
        auto end = failed + failedMark.size();
        while (end < plain.size() && plain[end] == ' ')
            ++end;
        plain.erase(start, end - start);
    }
    return plain;
}

CliSession::CliSession(const CommonOptions& common) : _common(common) {
    if (common.userData) {
        try {
            EnterUserDataFolder();
        } catch (const std::runtime_error& e) {
            throw CliFailure(e.what());
        }
    }
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
