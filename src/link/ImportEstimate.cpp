#include "link/ImportEstimate.h"

#include <cstdio>

namespace {

// A synchronisation within one cycle of the base unit's bus activity.
constexpr double SynchronizeSeconds = 1.0;

} // namespace

ImportWork WholeImportWork() {
    return {1'313'490, 590'841};
}

ImportWork RoutineImportWork() {
    return {13'096, 5'871};
}

double EstimatedImportSeconds(const ImportWork& work, const CI2CDriver::AdapterTiming& timing) {
    const auto fresh = static_cast<double>(timing.FreshAfterNanos());
    const double nanos =
        static_cast<double>(work.lineChanges) * static_cast<double>(timing.lineChangeNanos) +
        static_cast<double>(work.statusReads) * (static_cast<double>(timing.statusReadNanos) + fresh);
    return nanos / 1e9 + SynchronizeSeconds;
}

std::string DurationText(double seconds) {
    char text[32];
    if (seconds < 10)
        std::snprintf(text, sizeof text, "about %.1f s", seconds);
    else if (seconds < 120)
        std::snprintf(text, sizeof text, "about %.0f s", seconds);
    else if (seconds < 2 * 3600)
        std::snprintf(text, sizeof text, "about %.0f min", seconds / 60);
    else
        std::snprintf(text, sizeof text, "about %.1f h", seconds / 3600);
    return text;
}
