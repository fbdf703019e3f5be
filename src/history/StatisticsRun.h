#pragma once

#include "station/Dataset.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// The figures the statistics keep per period, and the quick pass that adds a run of datasets in
// date-time order to them. The pass comes in one build per instruction set; StatisticsAccumulator
// picks one.

constexpr std::size_t StatisticsLanes = 2 * CDataset::SensorCount;

// The running minimum, maximum, sum and count of every lane, in the order a dataset keeps its
// values: temperatures of sensors 0 to 5, then their humidities. A minimum or maximum holds the
// date-time it was first reached at. Sums are in ten-thousandths of a unit, exactly.
struct LaneFigures {
    LaneFigures();

    alignas(32) std::array<float, StatisticsLanes> min;
    alignas(32) std::array<float, StatisticsLanes> max;
    std::array<DATE, StatisticsLanes> minAt{}, maxAt{};
    std::array<std::int64_t, StatisticsLanes> sum{};
    std::array<std::size_t, StatisticsLanes> count{};
};

// The longest run the quick pass takes; its pending sums fit an int32.
constexpr std::size_t MaxQuickRun = 512;
// Below this the quick pass's rounding is exact: ten-thousandths stay under 2^22.
constexpr float QuickLimit = 400.0f;
// Adding and taking away 1.5 * 2^23 rounds a float below 2^22 to the nearest integer.
constexpr float QuickRoundingShift = 12582912.0f;

// The reserved marks of every lane.
extern const std::array<float, StatisticsLanes> LaneNotAvailable, LaneOverflow;

// Adds a run of at most MaxQuickRun datasets in date-time order, several lanes at a time. Values
// at or beyond QuickLimit, and non-finite ones, are left out; the result says whether there were
// any. Ties keep the earlier dataset, as the run is in date-time order.
bool AddQuickRunFourLanes(LaneFigures& figures, std::span<const CDataset> run);
// The same with eight lanes at a time, for processors with AVX2 only.
bool AddQuickRunEightLanes(LaneFigures& figures, std::span<const CDataset> run);
// Whether this processor takes AddQuickRunEightLanes.
bool EightLanesAvailable();
