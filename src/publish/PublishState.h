#pragma once

#include "station/DateTime.h"

#include <filesystem>
#include <optional>
#include <string>

// What has reached the broker, kept beside the history file ("history.nvh.mqtt") so that what has
// not is sent at the next chance, in order. The history itself says what exists; this says how far
// the archive got.
struct PublishState {
    // The newest dataset the broker acknowledged on the archive topic; every dataset after it is
    // still to be sent.
    std::optional<CDateTime> delivered;
    // The transmitter count the discovery configs were last announced for.
    std::optional<int> announcedTransmitters;
    bool operator==(const PublishState&) const = default;
};

std::filesystem::path PublishStateFile(const std::filesystem::path& historyFile);

// Nothing (and no error) when the file does not exist yet; an error for a file that is not one.
struct PublishStateRead {
    std::optional<PublishState> state;
    std::string error;
};
PublishStateRead ReadPublishState(const std::filesystem::path& file);

// Written beside, synced, renamed over the old file and the folder synced: a crash leaves the old
// state or the new one, never half of one. An empty string on success, else the reason.
std::string WritePublishState(const std::filesystem::path& file, const PublishState& state);
