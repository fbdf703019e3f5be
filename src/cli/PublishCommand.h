#pragma once

#include "station/DateTime.h"

#include <optional>

class CHistoryData;
class CliSession;

// After an import whose datasets are on disk: publishes to the broker of the option MqttBroker,
// when one is set. A broker that is away or refuses is one warning line on stderr; the import
// stands, and what was not sent waits for the next import or `publish`.
// newestBefore: the newest dataset the history held before this import.
void PublishAfterImport(const CliSession& session, const CHistoryData& recorded,
                        const std::optional<CDateTime>& newestBefore);

// `nivaro-cli publish`: sends what waits, re-announces the discovery configs and the state.
// With dryRun, prints what would be sent and sends nothing.
int RunPublish(CliSession& session, bool dryRun);
