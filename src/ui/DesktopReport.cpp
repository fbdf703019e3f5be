#include "ui/DesktopReport.h"

#include "log/Logger.h"
#include "report/Report.h"
#include "report/ReportFolder.h"
#include "settings/OptionValues.h"

void DesktopReport::RefreshAfterImport() {
    const std::filesystem::path folder = Options().GetReportFolder();
    if (folder.empty() || !Claim())
        return;
    const std::filesystem::path history = Options().GetRecordingHistoryFile();
    const ReportSetup setup{Options().GetLanguageID(), CurrentColumnFormat()};
    Run([history, folder, setup] {
        try {
            const ReportOutcome outcome = WriteReport(history, folder, setup);
            CLogger::Instance().Log(30, "Report refreshed in %s: %zu files written", folder.c_str(),
                                    outcome.written);
            for (const std::string& name : outcome.leftAlone)
                CLogger::Instance().Log(10, "Report: %s left alone, the report did not write it",
                                        name.c_str());
            return QString();
        } catch (const ReportError& e) {
            CLogger::Instance().Log(10, "Report not refreshed: %s", e.what());
            return QString::fromStdString(e.what());
        }
    });
}
