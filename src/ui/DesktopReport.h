#pragma once

#include "ui/BackgroundJob.h"

// Refreshing the web report after the desktop's import: on a thread of its own so that a large
// history never holds up the window. What failed comes back as one line for the status bar.
class DesktopReport : public BackgroundJob {
public:
    explicit DesktopReport(QObject* parent) : BackgroundJob(parent) {}

    // Refreshes the report in the option ReportFolder from the recording history file, when a
    // folder is set and no refresh is under way (the next import brings this one's datasets too).
    void RefreshAfterImport();
};
