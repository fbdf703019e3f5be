#include "platform/DsrChangeTracker.h"

void DsrChangeTracker::Reset(bool level, std::optional<std::uint64_t> count) {
    _level = level;
    _count = count;
}

bool DsrChangeTracker::Changed(bool level, std::optional<std::uint64_t> count) {
    const bool levelChanged = level != _level;
    const bool counted = count && _count && *count != *_count;
    if (counted)
        _countersProven = true;
    else if (levelChanged && count && _count && !_countersProven)
        _countersMissed = true;
    _level = level;
    _count = count;
    return levelChanged || counted;
}
