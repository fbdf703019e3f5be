#include "ui/DesktopPublisher.h"

#include "history/HistoryData.h"
#include "publish/PublishPlan.h"
#include "publish/Publisher.h"
#include "settings/Options.h"

#include <QMetaObject>

#include <thread>

void DesktopPublisher::PublishAfterImport(const std::optional<CDateTime>& newestBefore) {
    if (!Options().GetMqtt().Enabled() || m_running.exchange(true))
        return;
    if (m_join)
        m_join();
    EnsureDeviceId(Options());
    PublishRequest request;
    request.options = Options().GetMqtt();
    request.historyFile = Options().GetRecordingHistoryFile();
    request.firstDelivered = newestBefore;
    auto datasets = std::make_shared<std::vector<CDataset>>(
        RecordingHistory().WithDatasets([](const std::vector<CDataset>& d) { return d; }));
    request.transmitters = PublishedTransmitters(Options().GetNrOfTransmitters(), *datasets);

    auto worker = std::make_shared<std::thread>([this, request, datasets] {
        const PublishReport report = PublishHistory(request, *datasets);
        const QString problem = report.ok ? QString() : QString::fromStdString(report.error);
        m_running = false;
        QMetaObject::invokeMethod(
            this, [this, problem] { emit Finished(problem); }, Qt::QueuedConnection);
    });
    m_join = [worker] {
        if (worker->joinable())
            worker->join();
    };
}

DesktopPublisher::~DesktopPublisher() {
    if (m_join)
        m_join();
}
