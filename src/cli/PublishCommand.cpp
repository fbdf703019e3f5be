#include "cli/PublishCommand.h"

#include "cli/CliFailure.h"
#include "cli/CliSession.h"
#include "cli/HistoryCommands.h"
#include "history/HistoryData.h"
#include "history/HistoryWorkspace.h"
#include "publish/PublishPlan.h"
#include "publish/Publisher.h"
#include "settings/Options.h"

#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

namespace {

PublishRequest RequestFor(const CliSession& session, const CHistoryData& history) {
    PublishRequest request;
    EnsureDeviceId(Options());
    request.options = Options().GetMqtt();
    request.historyFile = session.HistoryFile();
    request.transmitters = history.WithDatasets([](const std::vector<CDataset>& datasets) {
        return PublishedTransmitters(Options().GetNrOfTransmitters(), datasets);
    });
    return request;
}

PublishReport Publish(const PublishRequest& request, const CHistoryData& history) {
    return history.WithDatasets(
        [&](const std::vector<CDataset>& datasets) { return PublishHistory(request, datasets); });
}

std::string Waiting(const PublishReport& report) {
    return std::to_string(report.pending) + (report.pending == 1 ? " dataset waits" : " datasets wait");
}

} // namespace

void PublishAfterImport(const CliSession& session, const CHistoryData& recorded,
                        const std::optional<CDateTime>& newestBefore) {
    if (!Options().GetMqtt().Enabled())
        return;
    PublishRequest request = RequestFor(session, recorded);
    request.firstDelivered = newestBefore;
    const PublishReport report = Publish(request, recorded);
    if (!report.ok) {
        std::cerr << "nivaro-cli: warning: not published: " << report.error << "; " << Waiting(report)
                  << " for the next import or 'nivaro-cli publish'" << std::endl;
        return;
    }
    std::cout << "Published to MQTT:         " << report.archived << std::endl;
}

int RunPublish(CliSession& session, HistoryWorkspace& workspace, bool dryRun) {
    if (!dryRun && !Options().GetMqtt().Enabled())
        throw CliFailure("no broker to publish to: set the option MqttBroker (e.g. mqtt://localhost)");
    const fs::path file = session.HistoryFile();
    std::error_code error;
    if (fs::exists(file, error))
        ReadRecordingHistory(workspace, file);
    const CHistoryData& history = workspace.Recording();

    PublishRequest request = RequestFor(session, history);
    request.announce = true;
    // Without a state file the archive begins after the newest dataset: a history of years is
    // not sent by surprise.
    request.firstDelivered = NewestDatasetTime(history);
    if (dryRun)
        request.dryRun = &std::cout;
    const PublishReport report = Publish(request, history);
    if (!report.ok)
        throw CliFailure("not published: " + report.error + "; " + Waiting(report));
    if (!dryRun)
        std::cout << "Published " << report.archived << (report.archived == 1 ? " dataset" : " datasets")
                  << " to " << request.options.broker << std::endl;
    return ExitSuccess;
}
