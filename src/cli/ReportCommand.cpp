#include "cli/ReportCommand.h"

#include "cli/CliFailure.h"
#include "cli/CliSession.h"
#include "report/Report.h"
#include "report/ReportFolder.h"
#include "settings/OptionValues.h"

#include <filesystem>
#include <iostream>

namespace {

ReportOutcome Write(const CliSession& session, const std::filesystem::path& folder) {
    return WriteReport(session.HistoryFile(), folder, {Options().GetLanguageID(), CurrentColumnFormat()});
}

void WarnLeftAlone(const ReportOutcome& outcome) {
    for (const std::string& name : outcome.leftAlone)
        std::cerr << "nivaro-cli: warning: " << name
                  << " left alone: the report did not write it (remove it to let the report write its page)"
                  << std::endl;
}

} // namespace

int RunReport(CliSession& session, const std::string& out) {
    const std::filesystem::path folder =
        out.empty() ? Options().GetReportFolder() : std::filesystem::path(out);
    if (folder.empty())
        throw CliFailure("no folder for the report: give --out DIR or set the option ReportFolder",
                         ExitUsage);
    ReportOutcome outcome;
    try {
        outcome = Write(session, folder);
    } catch (const ReportError& e) {
        throw CliFailure(std::string("no report written: ") + e.what());
    }
    std::cout << "Report in " << folder.string() << ": " << outcome.written << " files written, "
              << outcome.unchanged << " unchanged" << std::endl;
    WarnLeftAlone(outcome);
    return outcome.leftAlone.empty() ? ExitSuccess : ExitFailure;
}

void RefreshReportAfterImport(const CliSession& session) {
    const std::filesystem::path folder = Options().GetReportFolder();
    if (folder.empty())
        return;
    try {
        const ReportOutcome outcome = Write(session, folder);
        std::cout << "Report refreshed:          " << outcome.written << " files written" << std::endl;
        WarnLeftAlone(outcome);
    } catch (const ReportError& e) {
        std::cerr << "nivaro-cli: warning: report not refreshed: " << e.what() << std::endl;
    }
}
