#pragma once

#include "station/Dataset.h"

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

// The newest datasets of a history, kept while it streams past in file order, in any order: the
// same datasets, in the same order, as the last `count` of the whole history sorted stably by
// date-time (datasets sharing one keep their file order). Memory holds about twice `count`
// datasets, never the whole file.
class NewestDatasets {
public:
    explicit NewestDatasets(std::size_t count);

    void Add(std::span<const CDataset> datasets);
    // The datasets kept, in date-time order; nothing is added after it.
    std::vector<CDataset> Take();

private:
    using Candidate = std::pair<CDataset, std::size_t>; // with its place in the file
    static bool Older(const Candidate& a, const Candidate& b);
    // Keeps only the `count` newest candidates.
    void Trim();

    std::size_t m_count;
    std::size_t m_limit; // candidates held before they are trimmed
    std::size_t m_seen = 0;
    bool m_inOrder = true; // every dataset so far followed the one before it
    CDataset m_last;       // the last dataset added
    std::vector<Candidate> m_kept;
};
