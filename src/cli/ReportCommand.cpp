#include "cli/ReportCommand.h"

#include "cli/CliFailure.h"
#include "cli/CliSession.h"
#include "report/Report.h"
#include "report/ReportFolder.h"
#include "settings/OptionValues.h"

#include <iostream>

int RunReport(CliSession& session, const std::string& folder) {
    if (folder.empty())
        throw CliFailure("report needs --out DIR, the folder to write the pages into", ExitUsage);
    ReportOutcome outcome;
    try {
        outcome =
            WriteReport(session.HistoryFile(), folder, {Options().GetLanguageID(), CurrentColumnFormat()});
    } catch (const ReportError& e) {
        throw CliFailure(std::string("no report written: ") + e.what());
    }
    std::cout << "Report in " << folder << ": " << outcome.written << " files written, " << outcome.unchanged
              << " unchanged" << std::endl;
    for (const std::string& name : outcome.leftAlone)
        std::cerr << "nivaro-cli: warning: " << name
                  << " left alone: the report did not write it (remove it to let the report write its page)"
                  << std::endl;
    return outcome.leftAlone.empty() ? ExitSuccess : ExitFailure;
}
