#pragma once

#include "station/Dataset.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// The running minimum, maximum, sum and count of every quantity over the datasets of one period.
// The twelve quantities sit side by side in lanes as a dataset keeps them: temperatures of sensors
// 0 to 5, then their humidities; they are taken four lanes at a time.
//
// Four lanes are handled at a time, without branches: reserved marks are masked out, the values go
// into the sums, counts and extremes together. Only a lane with a non-finite or very large value,
// or a tie that may move an extreme's date-time (datasets out of date-time order), is looked at on
// its own. Sums are kept in ten-thousandths of a unit, exactly: a float such as 21.3 is rounded to
// 213000 before it is added.
class StatisticsAccumulator {
public:
    using Float4 = float __attribute__((vector_size(16)));
    using Int4 = std::int32_t __attribute__((vector_size(16)));
    using UInt4 = std::uint32_t __attribute__((vector_size(16)));

    static constexpr std::size_t Lanes = 2 * CDataset::SensorCount;
    static constexpr std::size_t LaneOf(bool humidity, int sensor) {
        return (humidity ? std::size_t(CDataset::SensorCount) : 0) + std::size_t(sensor);
    }
    static constexpr bool IsHumidityLane(std::size_t lane) { return lane >= CDataset::SensorCount; }

    StatisticsAccumulator();

    // Adds the first dataset and those after it while their date-times are valid and in
    // [low, high); returns how many it took. The first must have a valid date-time. Datasets in
    // date-time order take the quickest way.
    std::size_t Add(std::span<const CDataset> datasets, DATE low, DATE high);

    std::size_t Count(std::size_t lane) const { return m_count[lane]; }
    float Min(std::size_t lane) const { return m_min[lane]; }
    float Max(std::size_t lane) const { return m_max[lane]; }
    DATE MinAt(std::size_t lane) const { return m_minAt[lane]; }
    DATE MaxAt(std::size_t lane) const { return m_maxAt[lane]; }
    std::int64_t SumTenThousandths(std::size_t lane) const { return m_sum[lane]; }

private:
    // Datasets taken in one go, each group of lanes at a time.
    static constexpr std::size_t Chunk = 512;

    // Adds datasets of a chunk while their date-times are valid, in [low, high) (the first one
    // regardless when takeFirst) and do not go back; returns how many it took.
    std::size_t AddInOrder(std::span<const CDataset> chunk, bool takeFirst, DATE low, DATE high);
    // How many datasets from the start of a chunk AddInOrder takes.
    std::size_t InOrderRun(std::span<const CDataset> chunk, bool takeFirst, DATE low, DATE high) const;
    // The running figures of one group of four lanes over a run; the count is that of the values
    // left out, reserved marks and the lanes AddLargeValues takes.
    struct GroupFigures {
        Float4 min, max;
        UInt4 shiftedSum;
        Int4 leftOut;
    };
    // The extremes of a group after every Block datasets of a run, so that a new extreme's dataset
    // is looked for in one block only.
    struct InOrderSnapshots {
        static constexpr std::size_t Block = 8;
        Float4 minAfter[Chunk / Block], maxAfter[Chunk / Block];
        void Keep(std::size_t block, GroupFigures figures) {
            minAfter[block] = figures.min;
            maxAfter[block] = figures.max;
        }
    };
    // Adds one group of four lanes of a run in date-time order; returns the lanes too large for
    // it, which it leaves to AddLargeValues.
    template <std::size_t Group> Int4 AddInOrderGroup(std::span<const CDataset> run);
    template <std::size_t Group>
    [[gnu::always_inline]] inline static Float4 GroupValues(const CDataset& dataset);
    template <std::size_t Group> GroupFigures StartFigures() const;
    // Adds one dataset's values of a group; returns the lanes too large for it, which it leaves
    // to AddLargeValues.
    template <std::size_t Group>
    [[gnu::always_inline]] inline static Int4 AddValues(GroupFigures& figures, Float4 values);
    template <std::size_t Group>
    void FinishFigures(std::span<const CDataset> run, GroupFigures figures,
                       const InOrderSnapshots& snapshots);
    // Adds the values of a run AddValues left out, one lane at a time.
    [[gnu::noinline]] void AddLargeValues(std::span<const CDataset> run);
    // Adds one group of four lanes of a chunk in any date-time order.
    template <std::size_t Group> void AddGroup(std::span<const CDataset> chunk);
    void AddLane(std::size_t lane, float value, DATE at);
    void UpdateExtremes(std::size_t lane, float value, DATE at);

    alignas(16) std::array<float, Lanes> m_min;
    alignas(16) std::array<float, Lanes> m_max;
    std::array<DATE, Lanes> m_minAt{}, m_maxAt{};
    std::array<std::int64_t, Lanes> m_sum{};
    std::array<std::size_t, Lanes> m_count{};
    DATE m_latest = -1e300; // the latest date-time added
};
