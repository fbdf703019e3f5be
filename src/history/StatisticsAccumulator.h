#pragma once

#include "station/Dataset.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// The running minimum, maximum, sum and count of every quantity over the datasets of one period.
// The twelve quantities sit side by side in lanes, four at a time: temperatures of sensors 0 to 3,
// humidities of sensors 0 to 3, then temperature and humidity of sensors 4 and 5.
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
        return sensor < 4 ? std::size_t(sensor) + (humidity ? 4 : 0)
                          : std::size_t(sensor + 4) + (humidity ? 2 : 0);
    }
    static constexpr bool IsHumidityLane(std::size_t lane) { return (lane >= 4 && lane < 8) || lane >= 10; }

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
    // The running figures of one group of four lanes over a chunk.
    struct GroupFigures {
        Float4 min, max;
        UInt4 shiftedSum;
        Int4 count;
    };
    // The extremes of a group after every Block datasets of a chunk in date-time order, so that a
    // new extreme's dataset is looked for in one block only, and where that search starts.
    struct InOrderSnapshots {
        static constexpr std::size_t Block = 8;
        Float4 minAfter[Chunk / Block], maxAfter[Chunk / Block];
        std::size_t from = 0;
        void Keep(std::size_t block, GroupFigures figures) {
            minAfter[block] = figures.min;
            maxAfter[block] = figures.max;
        }
    };
    template <std::size_t Group> static Float4 GroupValues(const CDataset& dataset);
    template <std::size_t Group> GroupFigures StartFigures() const;
    // Adds one dataset's values of a group; returns the lanes AddSpecialLanes must take.
    template <std::size_t Group> static Int4 AddValues(GroupFigures& figures, Float4 values);
    // Out of line, so that the loop keeps its figures in registers.
    template <std::size_t Group>
    [[gnu::noinline]] GroupFigures AddSpecialLanes(std::span<const CDataset> chunk, std::size_t index,
                                                   GroupFigures figures, Float4 values, Int4 special,
                                                   InOrderSnapshots& snapshots);
    template <std::size_t Group>
    void StoreGroupExtremes(std::span<const CDataset> chunk, std::size_t to, GroupFigures figures,
                            const InOrderSnapshots& snapshots);
    template <std::size_t Group>
    void FinishFigures(std::span<const CDataset> chunk, std::size_t taken, GroupFigures figures,
                       const InOrderSnapshots& snapshots);
    // Adds one group of four lanes of a chunk in any date-time order.
    template <std::size_t Group> void AddGroup(std::span<const CDataset> chunk);
    static float ValueOf(const CDataset& dataset, std::size_t lane);
    void AddLane(std::size_t lane, float value, DATE at);
    void UpdateExtremes(std::size_t lane, float value, DATE at);

    alignas(16) std::array<float, Lanes> m_min;
    alignas(16) std::array<float, Lanes> m_max;
    std::array<DATE, Lanes> m_minAt{}, m_maxAt{};
    std::array<std::int64_t, Lanes> m_sum{};
    std::array<std::size_t, Lanes> m_count{};
    DATE m_latest = -1e300; // the latest date-time added
};
