#include "cli/PublishCommand.h"

#include "cli/CliFailure.h"
#include "cli/CliSession.h"
#include "cli/HistoryFileSource.h"
#include "history/HistoryData.h"
#include "history/HistoryRecord.h"
#include "history/TransmittersPresent.h"
#include "publish/PublishPlan.h"
#include "publish/PublishState.h"
#include "publish/Publisher.h"
#include "settings/Options.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <span>

namespace fs = std::filesystem;

namespace {

PublishRequest RequestFor(const CliSession& session, int transmitters) {
    PublishRequest request;
    EnsureDeviceId(Options());
    request.options = Options().GetMqtt();
    request.historyFile = session.HistoryFile();
    request.transmitters = transmitters;
    return request;
}

PublishReport Publish(const PublishRequest& request, const CHistoryData& history) {
    return history.WithDatasets(
        [&](const std::vector<CDataset>& datasets) { return PublishHistory(request, datasets); });
}

// What a publish from the command line needs of the history file, gathered as it streams past:
// the datasets it may send in date-time order (every one after the delivered mark, all of them
// when the state file has no mark, none when there is no state file yet), always ending with the
// newest dataset, and the transmitters with values. Only a part that has not been published
// takes memory, never the whole file.
struct PublishedPart {
    std::vector<CDataset> datasets;
    int transmittersWithValues = 0;
};

PublishedPart ReadPublishedPart(const fs::path& file, const std::optional<PublishState>& state) {
    PublishedPart part;
    std::optional<CDataset> newest;
    StreamHistoryFile(file, [&](std::span<const CDataset> block) {
        part.transmittersWithValues = std::max(part.transmittersWithValues, TransmittersWithValues(block));
        for (const CDataset& dataset : block) {
            if (!newest || !HistoryOrder(dataset, *newest))
                newest = dataset; // among equal date-times the last in the file, as a stable sort has it
            if (state && (!state->delivered || *state->delivered < dataset.GetDateTime()))
                part.datasets.push_back(dataset);
        }
    });
    std::stable_sort(part.datasets.begin(), part.datasets.end(), HistoryOrder);
    if (part.datasets.empty() && newest)
        part.datasets.push_back(*newest);
    return part;
}

std::string Waiting(const PublishReport& report) {
    return std::to_string(report.pending) + (report.pending == 1 ? " dataset waits" : " datasets wait");
}

} // namespace

void PublishAfterImport(const CliSession& session, const CHistoryData& recorded,
                        const std::optional<CDateTime>& newestBefore) {
    if (!Options().GetMqtt().Enabled())
        return;
    PublishRequest request =
        RequestFor(session, recorded.WithDatasets([](const std::vector<CDataset>& datasets) {
            return PublishedTransmitters(Options().GetNrOfTransmitters(), datasets);
        }));
    request.firstDelivered = newestBefore;
    const PublishReport report = Publish(request, recorded);
    if (!report.ok) {
        std::cerr << "nivaro-cli: warning: not published: " << report.error << "; " << Waiting(report)
                  << " for the next import or 'nivaro-cli publish'" << std::endl;
        return;
    }
    std::cout << "Published to MQTT:         " << report.archived << std::endl;
}

int RunPublish(CliSession& session, bool dryRun) {
    if (!dryRun && !Options().GetMqtt().Enabled())
        throw CliFailure("no broker to publish to: set the option MqttBroker (e.g. mqtt://localhost)");
    const fs::path file = session.HistoryFile();
    // The mark is read here to know which datasets to keep; the publish reads it again and says
    // what is wrong with a damaged state file.
    const std::optional<PublishState> state = ReadPublishState(PublishStateFile(file)).state;
    PublishedPart part;
    std::error_code error;
    if (fs::exists(file, error))
        part = ReadPublishedPart(file, state);

    PublishRequest request = RequestFor(
        session, PublishedTransmitters(Options().GetNrOfTransmitters(), part.transmittersWithValues));
    request.announce = true;
    // Without a state file the archive begins after the newest dataset: a history of years is
    // not sent by surprise.
    if (!part.datasets.empty())
        request.firstDelivered = part.datasets.back().GetDateTime();
    if (dryRun)
        request.dryRun = &std::cout;
    const PublishReport report = PublishHistory(request, part.datasets);
    if (!report.ok)
        throw CliFailure("not published: " + report.error + "; " + Waiting(report));
    if (!dryRun)
        std::cout << "Published " << report.archived << (report.archived == 1 ? " dataset" : " datasets")
                  << " to " << request.options.broker << std::endl;
    return ExitSuccess;
}
