#pragma once

#include <string>

// How a history file operation ended; a failure carries the reason a user is shown beside the
// file name ("No space left on device").
struct HistoryOutcome {
    bool ok = true;
    std::string reason;

    explicit operator bool() const { return ok; }
    static HistoryOutcome Success() { return {}; }
    static HistoryOutcome Failure(std::string why) { return {false, std::move(why)}; }
};
