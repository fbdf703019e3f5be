#include "platform/DsrChangeTracker.h"

void DsrChangeTracker::Reset(bool level, std::optional<std::uint64_t> count) {
    m_level = level;
    m_count = count;
}

bool DsrChangeTracker::Changed(bool level, std::optional<std::uint64_t> count) {
    const bool levelChanged = level != m_level;
    const bool counted = count && m_count && *count != *m_count;
    if (counted)
        m_countersProven = true;
    else if (levelChanged && count && m_count && !m_countersProven)
        m_countersMissed = true;
    m_level = level;
    m_count = count;
    return levelChanged || counted;
}
