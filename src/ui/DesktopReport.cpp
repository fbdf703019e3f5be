#include "ui/DesktopReport.h"

#include "log/Logger.h"
#include "report/Report.h"
#include "report/ReportFolder.h"
#include "settings/OptionValues.h"

#include <QMetaObject>

#include <memory>
#include <thread>

void DesktopReport::RefreshAfterImport() {
    const std::filesystem::path folder = Options().GetReportFolder();
    if (folder.empty() || m_running.exchange(true))
        return;
    if (m_join)
        m_join();
    const std::filesystem::path history = Options().GetRecordingHistoryFile();
    const ReportSetup setup{Options().GetLanguageID(), CurrentColumnFormat()};

    auto worker = std::make_shared<std::thread>([this, history, folder, setup] {
        QString problem;
        try {
            const ReportOutcome outcome = WriteReport(history, folder, setup);
            CLogger::Instance().Log(30, "Report refreshed in %s: %zu files written", folder.c_str(),
                                    outcome.written);
            for (const std::string& name : outcome.leftAlone)
                CLogger::Instance().Log(10, "Report: %s left alone, the report did not write it",
                                        name.c_str());
        } catch (const ReportError& e) {
            CLogger::Instance().Log(10, "Report not refreshed: %s", e.what());
            problem = QString::fromStdString(e.what());
        }
        m_running = false;
        QMetaObject::invokeMethod(
            this, [this, problem] { emit Finished(problem); }, Qt::QueuedConnection);
    });
    m_join = [worker] {
        if (worker->joinable())
            worker->join();
    };
}

DesktopReport::~DesktopReport() {
    if (m_join)
        m_join();
}
