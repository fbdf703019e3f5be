#pragma once

#include "history/StatisticsRun.h"
#include "station/Dataset.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// The running minimum, maximum, sum and count of every quantity over the datasets of one period.
// The twelve quantities sit side by side in lanes as a dataset keeps them: temperatures of sensors
// 0 to 5, then their humidities.
//
// Several lanes are handled at a time, without branches: reserved marks are masked out, the values
// go into the sums, counts and extremes together. Only a lane with a non-finite or very large
// value, or a tie that may move an extreme's date-time (datasets out of date-time order), is looked
// at on its own. Sums are kept in ten-thousandths of a unit, exactly: a float such as 21.3 is
// rounded to 213000 before it is added.
class StatisticsAccumulator {
public:
    static constexpr std::size_t Lanes = StatisticsLanes;
    static constexpr std::size_t LaneOf(bool humidity, int sensor) {
        return (humidity ? std::size_t(CDataset::SensorCount) : 0) + std::size_t(sensor);
    }
    static constexpr bool IsHumidityLane(std::size_t lane) { return lane >= CDataset::SensorCount; }

    // How many lanes the pass over datasets in date-time order takes at a time: the most this
    // processor can, or four as on every processor (to compare the two).
    enum class Width { Widest, Four };

    explicit StatisticsAccumulator(Width width = Width::Widest);
    // Carries on from figures kept earlier (Figures, Latest), as if their datasets were added again.
    StatisticsAccumulator(const LaneFigures& figures, DATE latest, Width width = Width::Widest);

    // Adds the first dataset and those after it while their date-times are valid and in
    // [low, high); returns how many it took. The first must have a valid date-time. Datasets in
    // date-time order take the quickest way.
    std::size_t Add(std::span<const CDataset> datasets, DATE low, DATE high);

    std::size_t Count(std::size_t lane) const { return m_figures.count[lane]; }
    float Min(std::size_t lane) const { return m_figures.min[lane]; }
    float Max(std::size_t lane) const { return m_figures.max[lane]; }
    DATE MinAt(std::size_t lane) const { return m_figures.minAt[lane]; }
    DATE MaxAt(std::size_t lane) const { return m_figures.maxAt[lane]; }
    std::int64_t SumTenThousandths(std::size_t lane) const { return m_figures.sum[lane]; }
    const LaneFigures& Figures() const { return m_figures; }
    DATE Latest() const { return m_latest; }

private:
    // Datasets taken in one go.
    static constexpr std::size_t Chunk = MaxQuickRun;

    // Adds datasets of a chunk while their date-times are valid, in [low, high) (the first one
    // regardless when takeFirst) and do not go back; returns how many it took.
    std::size_t AddInOrder(std::span<const CDataset> chunk, bool takeFirst, DATE low, DATE high);
    // How many datasets from the start of a chunk AddInOrder takes.
    std::size_t InOrderRun(std::span<const CDataset> chunk, bool takeFirst, DATE low, DATE high) const;
    // Adds the values of a run the quick pass left out, one lane at a time.
    [[gnu::noinline]] void AddLargeValues(std::span<const CDataset> run);
    // Adds one group of four lanes of a chunk in any date-time order.
    template <std::size_t Group> void AddGroup(std::span<const CDataset> chunk);
    void AddLane(std::size_t lane, float value, DATE at);
    void UpdateExtremes(std::size_t lane, float value, DATE at);

    LaneFigures m_figures;
    DATE m_latest = -1e300; // the latest date-time added
    bool (*m_addQuickRun)(LaneFigures&, std::span<const CDataset>);
};
