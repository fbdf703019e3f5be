#include "ui/DesktopPublisher.h"

#include "history/HistoryData.h"
#include "publish/PublishPlan.h"
#include "publish/Publisher.h"
#include "settings/Options.h"

#include <memory>

void DesktopPublisher::PublishAfterImport(const CHistoryData& recording,
                                          const std::optional<CDateTime>& newestBefore) {
    if (!Options().GetMqtt().Enabled() || !Claim())
        return;
    EnsureDeviceId(Options());
    PublishRequest request;
    request.options = Options().GetMqtt();
    request.historyFile = Options().GetRecordingHistoryFile();
    request.firstDelivered = newestBefore;
    auto datasets = std::make_shared<std::vector<CDataset>>(
        recording.WithDatasets([](const std::vector<CDataset>& d) { return d; }));
    request.transmitters = PublishedTransmitters(Options().GetNrOfTransmitters(), *datasets);
    Run([request, datasets] {
        const PublishReport report = PublishHistory(request, *datasets);
        return report.ok ? QString() : QString::fromStdString(report.error);
    });
}
