#pragma once

#include <cstdint>
#include <optional>

// Decides whether the DSR line changed since it was last looked at. Two witnesses: the line level,
// and the driver's transition counter where it answers for one. The counter also catches a change
// that went back before the next look; but some drivers answer for the counters without ever
// counting DSR, so a counter that stands still is no proof of a quiet line until it has been seen
// to count. A change shown by either witness counts.
class DsrChangeTracker {
public:
    // The starting point: what is seen now is not a change.
    void Reset(bool level, std::optional<std::uint64_t> count);
    // The next look; true when DSR changed since the previous one.
    bool Changed(bool level, std::optional<std::uint64_t> count);
    // The counter has counted a change: it can be relied on.
    bool CountersProven() const { return m_countersProven; }
    // The level showed a change the counter did not count: the driver does not count DSR.
    bool CountersMissedChange() const { return m_countersMissed; }

private:
    bool m_level = false;
    std::optional<std::uint64_t> m_count;
    bool m_countersProven = false;
    bool m_countersMissed = false;
};
