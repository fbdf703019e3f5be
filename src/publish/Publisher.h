#pragma once

#include "settings/MqttOptions.h"
#include "station/Dataset.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <span>
#include <string>

class CHistoryData;
class COptionsImpl;

struct PublishRequest {
    MqttOptions options;
    std::filesystem::path historyFile; // the state file lies beside it
    int transmitters = 0;
    bool announce = false; // re-send the discovery configs
    // Where the archive begins when there is no state file yet (see PublishInputs).
    std::optional<CDateTime> firstDelivered;
    std::ostream* dryRun = nullptr; // set: print what would be sent, send nothing
    std::chrono::milliseconds timeout{10000};
};

struct PublishReport {
    bool ok = false;
    std::string error;        // one line when not ok
    std::size_t archived = 0; // datasets the archive topic took
    std::size_t pending = 0;  // datasets still to be sent
};

// Sends what the history holds beyond the state file's mark, and keeps the new mark. The history
// is never changed; a broker that is away or refuses leaves the mark where the broker stopped.
PublishReport PublishHistory(const PublishRequest& request, std::span<const CDataset> history);

// The date-time of the store's newest dataset (where a first publish begins), or none.
std::optional<CDateTime> NewestDatasetTime(const CHistoryData& history);

// The options' device id, made and kept (in memory; the options are saved as always) on first use.
std::string EnsureDeviceId(COptionsImpl& options);

// A test of the settings: connect and log in, say what happened, publish nothing.
std::string TestConnection(const MqttOptions& options, std::chrono::milliseconds timeout);
