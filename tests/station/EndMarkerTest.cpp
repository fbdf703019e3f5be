#include "station/EndMarker.h"
#include "station/DatasetEncoder.h"
#include "station/RingBuffer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const Hardware::RingBuffer& Layout() {
    return *Hardware::RingBuffer::GetConfig(3);
}

// A window of slots described by one character each: 'M' an end marker (0xFF), 'N' a marker
// with lead byte 0xFE, 'E' an erased slot (all 0xFF), a digit a dataset of that day of January
// 2005 (a larger digit is newer).
std::vector<std::uint8_t> Window(const std::string& slots) {
    const unsigned S = Layout().DatasetSize();
    std::vector<std::uint8_t> bytes(slots.size() * S, 0xFF);
    for (std::size_t i = 0; i < slots.size(); ++i) {
        std::uint8_t* slot = bytes.data() + i * S;
        const char c = slots[i];
        if (c == 'N')
            slot[0] = 0xFE;
        if (c >= '0' && c <= '9') {
            CDataset dataset;
            dataset.SetDateTime(CDateTime(2005, 1, 10 + (c - '0'), 12, 0, 0));
            EncodeStationDataset(dataset, Layout(), {slot, S});
        }
    }
    return bytes;
}

struct Case {
    const char* name;
    std::string slots;
    bool full;
    int expectedSlot;      // -1: none
    char beforeWindow = 0; // the slot before the window, as in slots; 0: not given
    char lastRead = 0;     // the day digit of the last imported dataset; 0: no read position
};

class FindEndMarkerTable : public ::testing::TestWithParam<Case> {};

TEST_P(FindEndMarkerTable, ChoosesTheMarker) {
    const Case& c = GetParam();
    const auto window = Window(c.slots);
    const int S = static_cast<int>(Layout().DatasetSize());
    const int expected = c.expectedSlot < 0 ? -1 : c.expectedSlot * S;
    const auto before = Window(std::string(1, c.beforeWindow ? c.beforeWindow : 'E'));
    MarkerContext context;
    if (c.beforeWindow)
        context.beforeWindow = before.data();
    if (c.lastRead)
        context.lastRead = CDateTime(2005, 1, 10 + (c.lastRead - '0'), 12, 0, 0);
    EXPECT_EQ(FindEndMarker(window.data(), static_cast<unsigned>(window.size()), Layout(), c.full, context),
              expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, FindEndMarkerTable,
    ::testing::Values(
        Case{"EmptyWindow", "", false, -1}, Case{"NoCandidate", "1234", true, -1},
        // Not full: the first erased slot after data is valid (rule b); later erased slots fail rule a,
        // the last slot is out of bounds.
        Case{"NotFullErasedTail", "0123456789EEEE", false, 10},
        Case{"MarkerInFirstSlotWins", "N1234M56", false, 0},
        // Full: an older dataset after the marker than before it (rule c).
        Case{"FullOlderAfter", "5678M1234", true, 4},
        // Full: the only candidate has a newer dataset after it (rule d), used as possibly valid.
        Case{"FullOnlyPossiblyValid", "123M456", true, 3},
        // Full: rule d first, then rule c: valid beats possibly valid.
        Case{"ValidBeatsPossiblyValid", "12M34M012", true, 5},
        // Two possibly valid candidates: the last one wins.
        Case{"LastPossiblyValidWins", "1M23M45", true, 4},
        // Not full, both neighbours valid (rule e), the one after older: the first valid wins.
        Case{"NotFullFirstValidWins", "56M34M12", false, 2},
        // A damaged lead byte among the new datasets (0xFF or 0xFE) is not the end: newer datasets
        // follow it. Ring not full, no read position: the true end after them.
        Case{"NotFullStrayAmongNewDatasets", "12M34EEE", false, 5},
        Case{"NotFullStrayFeAmongNewDatasets", "12N34EEE", false, 5},
        // Whole ring, not full: the stray in the ring's first slot, after the erased last slot.
        Case{"NotFullStrayInTheRingsFirstSlot", "M23EEE", false, 3, 'E'},
        // Whole ring, full: the stray in slot 0 after the newest-but-one in the ring's last slot.
        Case{"FullStrayInTheRingsFirstSlot", "M23M01", true, 3, '1'},
        // After the last import: a stray in the window's first slot no longer stops everything.
        Case{"StrayInTheFirstSlotAfterTheLastRead", "M34EEE", false, 3, '2', '2'},
        Case{"FeStrayInTheFirstSlotAfterTheLastRead", "N34EEE", false, 3, '2', '2'},
        Case{"FullStrayInTheFirstSlotAfterTheLastRead", "M34M01", true, 3, '2', '2'},
        Case{"FullStrayLaterAfterTheLastRead", "34M56M01", true, 5, '2', '2'},
        // No new data: what follows the first slot is older than the last read, or erased.
        Case{"FirstSlotNoNewData", "M01", true, 0, '2', '2'},
        Case{"FirstSlotNoNewDataNotFull", "MEEE", false, 0, '2', '2'},
        // The only candidate has newer datasets after it: the last resort.
        Case{"OnlyANewerFollowedCandidate", "12M34", false, 2},
        // A marker in the window's last slot is out of bounds, full or not.
        Case{"LastSlotOutOfBoundsFull", "1234M", true, -1},
        Case{"LastSlotOutOfBoundsNotFull", "1234M", false, -1}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(FindEndMarker, MarkerInTheRingsLastSlotIsJudgedAgainstTheFirstSlot) {
    // The window reaches the ring's end: the slot after the last one is the ring's first slot.
    const auto ring = Window("5678M");
    const int S = static_cast<int>(Layout().DatasetSize());
    EXPECT_EQ(FindEndMarker(ring.data(), static_cast<unsigned>(ring.size()), Layout(), true,
                            {ring.data(), nullptr, {}}),
              4 * S);
    EXPECT_EQ(FindEndMarker(ring.data(), static_cast<unsigned>(ring.size()), Layout(), false,
                            {ring.data(), nullptr, {}}),
              4 * S);
}

} // namespace
