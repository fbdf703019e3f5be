#include "history/HistoryFind.h"

#include "history/HistoryRecord.h"

#include <algorithm>
#include <set>

std::vector<std::optional<std::size_t>> FindInHistory(std::span<const CDataset> history,
                                                      std::span<const CDataset> wanted) {
    std::vector<std::optional<std::size_t>> found;
    found.reserve(wanted.size());
    std::set<std::size_t> taken;
    for (const CDataset& dataset : wanted) {
        // The run of the dataset's date-time, then the record with its values.
        const auto [first, last] = std::equal_range(history.begin(), history.end(), dataset, HistoryOrder);
        std::optional<std::size_t> position;
        for (auto at = first; at != last && !position; ++at) {
            const auto index = static_cast<std::size_t>(at - history.begin());
            if (IsSameRecord(*at, dataset) && !taken.contains(index))
                position = index;
        }
        if (position)
            taken.insert(*position);
        found.push_back(position);
    }
    return found;
}
