#pragma once

#include "station/DateTime.h"

#include "ui/BackgroundJob.h"

#include <optional>

class CHistoryData;

// Publishing after the desktop's import: on a thread of its own so that a broker that is slow to
// answer never holds up the window. What failed comes back as one line for the status bar.
class DesktopPublisher : public BackgroundJob {
public:
    // Publishes the recording history (recording's datasets) when a broker is set and no publish is under way
    // (the next import sends what this one would have). The result arrives as Finished on this object's
    // thread.
    void PublishAfterImport(const CHistoryData& recording, const std::optional<CDateTime>& newestBefore);
    explicit DesktopPublisher(QObject* parent) : BackgroundJob(parent) {}
};
