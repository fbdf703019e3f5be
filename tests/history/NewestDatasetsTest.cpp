#include "history/NewestDatasets.h"

#include "HistoryTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>

namespace {

// The last `count` of the whole history sorted stably: what reading it all would show.
std::vector<CDataset> Reference(std::vector<CDataset> all, std::size_t count) {
    std::stable_sort(all.begin(), all.end(), HistoryOrder);
    all.erase(all.begin(), all.end() - static_cast<std::ptrdiff_t>(std::min(count, all.size())));
    return all;
}

bool SameRecords(const std::vector<CDataset>& a, const std::vector<CDataset>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), IsSameRecord);
}

} // namespace

// Histories in order, reversed, shuffled, and in order up to older datasets at the end, with many
// shared date-times (whose file order must hold), long enough that the kept candidates are trimmed
// many times, fed in uneven blocks.
TEST(NewestDatasetsTest, KeepsTheNewestAsASortedWholeReadWould) {
    std::mt19937 random(5);
    std::vector<CDataset> inOrder = Series(10000);
    for (std::size_t i = 0; i < inOrder.size(); ++i) // pairs of datasets share a date-time
        inOrder[i].SetDateTime(inOrder[i - i % 2].GetDateTime());
    std::vector<CDataset> reversed(inOrder.rbegin(), inOrder.rend());
    std::vector<CDataset> shuffled = inOrder;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    // In order for most of the file, then older datasets: the newest of the ordered part must
    // still be there when the order breaks.
    std::vector<CDataset> olderAtEnd(inOrder.begin() + 3000, inOrder.end());
    olderAtEnd.insert(olderAtEnd.end(), inOrder.begin(), inOrder.begin() + 3000);
    const struct {
        const char* name;
        const std::vector<CDataset>& history;
    } histories[] = {{"in order", inOrder},
                     {"reversed", reversed},
                     {"shuffled", shuffled},
                     {"older at the end", olderAtEnd}};

    for (const auto& h : histories)
        for (const std::size_t count : {std::size_t(0), std::size_t(1), std::size_t(3), std::size_t(2500),
                                        std::size_t(10000), std::size_t(20000)}) {
            SCOPED_TRACE(std::string(h.name) + ", last " + std::to_string(count));
            NewestDatasets newest(count);
            for (std::size_t at = 0; at < h.history.size();) {
                const std::size_t n = std::min<std::size_t>(h.history.size() - at, 1 + random() % 3000);
                newest.Add(std::span(h.history).subspan(at, n));
                at += n;
            }
            EXPECT_TRUE(SameRecords(newest.Take(), Reference(h.history, count)));
        }
}
