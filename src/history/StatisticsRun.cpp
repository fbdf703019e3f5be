#include "history/StatisticsRun.h"

#include "history/StatisticsRunLanes.h"

#include <limits>

namespace {

constexpr std::array<float, StatisticsLanes> Marks(float temperature, float humidity) {
    std::array<float, StatisticsLanes> marks{};
    for (std::size_t lane = 0; lane < StatisticsLanes; ++lane)
        marks[lane] = lane < std::size_t(CDataset::SensorCount) ? temperature : humidity;
    return marks;
}

} // namespace

alignas(32) const std::array<float, StatisticsLanes> LaneNotAvailable =
    Marks(CDataset::TemperatureNotAvailable, CDataset::HumidityNotAvailable);
alignas(32) const std::array<float, StatisticsLanes> LaneOverflow = Marks(CDataset::TemperatureOverflow,
                                                                          CDataset::HumidityOverflow);

LaneFigures::LaneFigures() {
    min.fill(std::numeric_limits<float>::infinity());
    max.fill(-std::numeric_limits<float>::infinity());
}

bool AddQuickRunFourLanes(LaneFigures& figures, std::span<const CDataset> run) {
    static_assert(MaxQuickRun * 4'000'000 < 0x7fffffff, "the pending sums fit an int32");
    // A group of lanes at a time, so that every running figure stays in a register; the run is
    // in the cache after the first.
    const bool first = QuickLanes<0, 4>::Add(figures, run);
    const bool second = QuickLanes<4, 4>::Add(figures, run);
    const bool third = QuickLanes<8, 4>::Add(figures, run);
    return first || second || third;
}
