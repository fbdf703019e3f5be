#include "history/NewestDatasets.h"

#include "history/HistoryFile.h"
#include "history/HistoryRecord.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::size_t FewestTrimmed = 4096;

} // namespace

NewestDatasets::NewestDatasets(std::size_t count)
    : m_count(count),
      m_limit(count > std::numeric_limits<std::size_t>::max() / 2 ? std::numeric_limits<std::size_t>::max()
                                                                  : std::max(2 * count, FewestTrimmed)) {}

bool NewestDatasets::Older(const Candidate& a, const Candidate& b) {
    if (HistoryOrder(a.first, b.first))
        return true;
    return !HistoryOrder(b.first, a.first) && a.second < b.second;
}

void NewestDatasets::Add(std::span<const CDataset> datasets) {
    if (datasets.empty())
        return;
    // While everything came in date-time order, the newest of a block are at its end, and none
    // before them can still be among the newest.
    m_inOrder =
        m_inOrder && (m_seen == 0 || !HistoryOrder(datasets.front(), m_last)) && IsInHistoryOrder(datasets);
    m_last = datasets.back();
    std::size_t skipped = 0;
    if (m_inOrder && datasets.size() > m_count) {
        skipped = datasets.size() - m_count;
        m_kept.clear();
    }
    m_seen += skipped;
    for (const CDataset& dataset : datasets.subspan(skipped)) {
        const std::size_t place = m_seen++;
        if (m_count == 0)
            continue;
        m_kept.emplace_back(dataset, place);
        if (m_kept.size() >= m_limit)
            Trim();
    }
}

void NewestDatasets::Trim() {
    if (m_kept.size() <= m_count)
        return;
    const auto first = m_kept.end() - static_cast<std::ptrdiff_t>(m_count);
    std::nth_element(m_kept.begin(), first, m_kept.end(), Older);
    m_kept.erase(m_kept.begin(), first);
}

std::vector<CDataset> NewestDatasets::Take() {
    Trim();
    std::sort(m_kept.begin(), m_kept.end(), Older);
    std::vector<CDataset> newest;
    newest.reserve(m_kept.size());
    for (const Candidate& candidate : m_kept)
        newest.push_back(candidate.first);
    m_kept.clear();
    return newest;
}
