#include "history/StatisticsAccumulator.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

using Float4 = StatisticsAccumulator::Float4;
using Int4 = StatisticsAccumulator::Int4;
using UInt4 = StatisticsAccumulator::UInt4;
constexpr std::size_t Lanes = StatisticsAccumulator::Lanes;

// Below this the four-lane rounding is exact: ten-thousandths stay under 2^22.
constexpr float FastLimit = 400.0f;
// Adding and taking away 1.5 * 2^23 rounds a float below 2^22 to the nearest integer.
constexpr float RoundingShift = 12582912.0f;
// A value a million times beyond any sensor's range is no measurement; leaving it out also keeps
// the sums far from overflowing.
constexpr float Absurd = 1e6f;
// How many datasets ahead of the one being added the memory is asked for.
constexpr std::size_t Ahead = 16;

constexpr std::array<float, Lanes> Marks(float temperature, float humidity) {
    std::array<float, Lanes> marks{};
    for (std::size_t lane = 0; lane < Lanes; ++lane)
        marks[lane] = StatisticsAccumulator::IsHumidityLane(lane) ? humidity : temperature;
    return marks;
}

alignas(16) constexpr std::array<float, Lanes> NotAvailable = Marks(CDataset::TemperatureNotAvailable,
                                                                    CDataset::HumidityNotAvailable);
alignas(16) constexpr std::array<float, Lanes> Overflow = Marks(CDataset::TemperatureOverflow,
                                                                CDataset::HumidityOverflow);

template <typename Vector, typename T> Vector Load(const T* from) {
    Vector v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

Float4 Select(Int4 mask, Float4 ifSet, Float4 otherwise) {
    return Float4((Int4(ifSet) & mask) | (Int4(otherwise) & ~mask));
}

bool AnyLane(Int4 mask) {
    std::uint64_t words[2];
    std::memcpy(words, &mask, sizeof words);
    return (words[0] | words[1]) != 0;
}

} // namespace

StatisticsAccumulator::StatisticsAccumulator() {
    m_min.fill(std::numeric_limits<float>::infinity());
    m_max.fill(-std::numeric_limits<float>::infinity());
}

std::size_t StatisticsAccumulator::Add(std::span<const CDataset> datasets, DATE low, DATE high) {
    // The run goes in a chunk at a time. Datasets in date-time order take one pass that keeps
    // only the extremes and finds their datasets again when the chunk is done. Where the
    // date-times go back, a first look finds where the chunk ends, then each group of four lanes
    // takes it on its own, deciding ties one lane at a time.
    std::size_t taken = 0;
    while (taken < datasets.size()) {
        const std::size_t limit = std::min(datasets.size(), taken + Chunk);
        std::size_t end = taken + AddInOrder(datasets.subspan(taken, limit - taken), taken == 0, low, high);
        if (end == limit) {
            taken = end;
            continue;
        }
        if (end > 0 && (datasets[end].IsInvalid() || !(datasets[end].GetDateTime().Value() >= low &&
                                                       datasets[end].GetDateTime().Value() < high)))
            return end;
        taken = end;
        DATE latest = m_latest;
        for (; end < limit; ++end) {
            const CDataset& d = datasets[end];
            const DATE at = d.GetDateTime().Value();
            if (end > 0 && (d.IsInvalid() || !(at >= low && at < high)))
                break;
            latest = at >= latest ? at : latest;
        }
        const std::span<const CDataset> chunk = datasets.subspan(taken, end - taken);
        AddGroup<0>(chunk);
        AddGroup<1>(chunk);
        AddGroup<2>(chunk);
        m_latest = latest;
        taken = end;
        if (end < limit)
            break;
    }
    return taken;
}

std::size_t StatisticsAccumulator::AddInOrder(std::span<const CDataset> chunk, bool takeFirst, DATE low,
                                              DATE high) {
    static_assert(Chunk * 4'000'000 < 0x7fffffff, "the pending sums fit an int32");
    // Every running figure is a local of its own, so that all of them stay in registers; the rare
    // paths get them by value or inline, never by address.
    GroupFigures figures0 = StartFigures<0>(), figures1 = StartFigures<1>(), figures2 = StartFigures<2>();
    InOrderSnapshots snapshots[3];
    DATE latest = m_latest;
    std::size_t taken = 0;
    for (; taken < chunk.size(); ++taken) {
        const CDataset& d = chunk[taken];
        const DATE at = d.GetDateTime().Value();
        if ((taken > 0 || !takeFirst) && (d.IsInvalid() || !(at >= low && at < high)))
            break;
        if (!(at >= latest))
            break;
        latest = at;
        // The next datasets are asked for early: the loop is quicker than the memory.
        __builtin_prefetch(
            reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(&d) + Ahead * sizeof(CDataset)));
        const Float4 values0 = GroupValues<0>(d), values1 = GroupValues<1>(d), values2 = GroupValues<2>(d);
        const Int4 special0 = AddValues<0>(figures0, values0);
        const Int4 special1 = AddValues<1>(figures1, values1);
        const Int4 special2 = AddValues<2>(figures2, values2);
        if ((taken + 1) % InOrderSnapshots::Block == 0) {
            const std::size_t block = taken / InOrderSnapshots::Block;
            snapshots[0].Keep(block, figures0);
            snapshots[1].Keep(block, figures1);
            snapshots[2].Keep(block, figures2);
        }
        if (AnyLane(special0 | special1 | special2)) [[unlikely]] {
            if (AnyLane(special0))
                figures0 = AddSpecialLanes<0>(chunk, taken, figures0, values0, special0, snapshots[0]);
            if (AnyLane(special1))
                figures1 = AddSpecialLanes<1>(chunk, taken, figures1, values1, special1, snapshots[1]);
            if (AnyLane(special2))
                figures2 = AddSpecialLanes<2>(chunk, taken, figures2, values2, special2, snapshots[2]);
        }
    }
    FinishFigures<0>(chunk, taken, figures0, snapshots[0]);
    FinishFigures<1>(chunk, taken, figures1, snapshots[1]);
    FinishFigures<2>(chunk, taken, figures2, snapshots[2]);
    m_latest = latest;
    return taken;
}

template <std::size_t Group>
StatisticsAccumulator::Float4 StatisticsAccumulator::GroupValues(const CDataset& d) {
    if constexpr (Group == 0)
        return Float4{d.GetTemperature(0), d.GetTemperature(1), d.GetTemperature(2), d.GetTemperature(3)};
    else if constexpr (Group == 1)
        return Float4{d.GetHumidity(0), d.GetHumidity(1), d.GetHumidity(2), d.GetHumidity(3)};
    else
        return Float4{d.GetTemperature(4), d.GetTemperature(5), d.GetHumidity(4), d.GetHumidity(5)};
}

template <std::size_t Group> StatisticsAccumulator::GroupFigures StatisticsAccumulator::StartFigures() const {
    return {Load<Float4>(&m_min[4 * Group]), Load<Float4>(&m_max[4 * Group]), UInt4{}, Int4{}};
}

template <std::size_t Group>
StatisticsAccumulator::Int4 StatisticsAccumulator::AddValues(GroupFigures& figures, Float4 v) {
    const Float4 infinity = Float4{} + std::numeric_limits<float>::infinity();
    const Int4 magnitude = Int4{} + 0x7fffffff;
    const Int4 mark =
        (v == Load<Float4>(&NotAvailable[4 * Group])) | (v == Load<Float4>(&Overflow[4 * Group]));
    // Not a NaN, an infinity or a value too large for the exact rounding below.
    const Int4 ordinary = ~mark & (Float4(Int4(v) & magnitude) < FastLimit);
    // Other lanes are 0 before they are scaled and converted, so no conversion overflows.
    const Float4 safe = Float4(Int4(v) & ordinary);
    // With the shift, the rounded value is the low bits of the float; the shift's own bits come
    // off at the end.
    figures.shiftedSum += UInt4(safe * 1e4f + RoundingShift);
    figures.count -= ordinary;
    // Other lanes move away to infinity (a NaN stays one), where they change no extreme.
    const Float4 away = Float4(~ordinary & Int4(infinity));
    const Float4 below = v + away, above = v - away;
    figures.min = below < figures.min ? below : figures.min;
    figures.max = above > figures.max ? above : figures.max;
    return ~(mark | ordinary);
}

template <std::size_t Group>
StatisticsAccumulator::GroupFigures
StatisticsAccumulator::AddSpecialLanes(std::span<const CDataset> chunk, std::size_t index,
                                       GroupFigures figures, Float4 values, Int4 special,
                                       InOrderSnapshots& snapshots) {
    StoreGroupExtremes<Group>(chunk, index + 1, figures, snapshots);
    snapshots.from = index + 1;
    const DATE at = chunk[index].GetDateTime().Value();
    for (std::size_t lane = 0; lane < 4; ++lane)
        if (special[lane] != 0)
            AddLane(4 * Group + lane, values[lane], at);
    figures.min = Load<Float4>(&m_min[4 * Group]);
    figures.max = Load<Float4>(&m_max[4 * Group]);
    return figures;
}

template <std::size_t Group>
void StatisticsAccumulator::FinishFigures(std::span<const CDataset> chunk, std::size_t taken,
                                          GroupFigures figures, const InOrderSnapshots& snapshots) {
    StoreGroupExtremes<Group>(chunk, taken, figures, snapshots);
    const std::uint32_t shifts = std::bit_cast<std::uint32_t>(RoundingShift) * std::uint32_t(taken);
    for (std::size_t lane = 0; lane < 4; ++lane) {
        m_sum[4 * Group + lane] += std::int32_t(figures.shiftedSum[lane] - shifts);
        m_count[4 * Group + lane] += std::size_t(figures.count[lane]);
    }
}

template <std::size_t Group>
void StatisticsAccumulator::StoreGroupExtremes(std::span<const CDataset> chunk, std::size_t to,
                                               GroupFigures figures, const InOrderSnapshots& snapshots) {
    constexpr std::size_t first = 4 * Group;
    constexpr std::size_t Block = InOrderSnapshots::Block;
    // The first dataset since `from` with the value holds it, as in date-time order a tie keeps
    // the earlier one. The extremes only go on, so the blocks before the one that reached the
    // value are halved away.
    const auto find = [&](const Float4* after, std::size_t lane, float value) {
        std::size_t block = snapshots.from / Block, end = to / Block;
        while (block < end) {
            const std::size_t middle = block + (end - block) / 2;
            if (after[middle][lane] == value)
                end = middle;
            else
                block = middle + 1;
        }
        std::size_t i = std::max(snapshots.from, block * Block);
        while (GroupValues<Group>(chunk[i])[lane] != value)
            ++i;
        return chunk[i].GetDateTime().Value();
    };
    for (std::size_t lane = 0; lane < 4; ++lane) {
        if (figures.min[lane] < m_min[first + lane]) {
            m_minAt[first + lane] = find(snapshots.minAfter, lane, figures.min[lane]);
            m_min[first + lane] = figures.min[lane];
        }
        if (figures.max[lane] > m_max[first + lane]) {
            m_maxAt[first + lane] = find(snapshots.maxAfter, lane, figures.max[lane]);
            m_max[first + lane] = figures.max[lane];
        }
    }
}

float StatisticsAccumulator::ValueOf(const CDataset& dataset, std::size_t lane) {
    static constexpr int Sensors[Lanes] = {0, 1, 2, 3, 0, 1, 2, 3, 4, 5, 4, 5};
    return IsHumidityLane(lane) ? dataset.GetHumidity(Sensors[lane]) : dataset.GetTemperature(Sensors[lane]);
}

template <std::size_t Group> void StatisticsAccumulator::AddGroup(std::span<const CDataset> chunk) {
    // A new extreme keeps the index of its dataset in the chunk (-1: none yet), turned into a
    // date-time when the chunk is done. A chunk is short enough for the sums to fit an int32.
    static_assert(Chunk * 4'000'000 < 0x7fffffff);
    constexpr std::size_t first = 4 * Group;
    Float4 min, max;
    Int4 minIndex, maxIndex;
    Int4 sum = {}, count = {};
    const auto loadExtremes = [&] {
        min = Load<Float4>(&m_min[first]);
        max = Load<Float4>(&m_max[first]);
        minIndex = maxIndex = Int4{-1, -1, -1, -1};
    };
    const auto storeExtremes = [&] {
        for (std::size_t lane = 0; lane < 4; ++lane) {
            if (minIndex[lane] >= 0) {
                m_min[first + lane] = min[lane];
                m_minAt[first + lane] = chunk[std::size_t(minIndex[lane])].GetDateTime().Value();
            }
            if (maxIndex[lane] >= 0) {
                m_max[first + lane] = max[lane];
                m_maxAt[first + lane] = chunk[std::size_t(maxIndex[lane])].GetDateTime().Value();
            }
        }
    };
    DATE latest = m_latest;
    const Float4 notAvailable = Load<Float4>(&NotAvailable[first]);
    const Float4 overflow = Load<Float4>(&Overflow[first]);
    loadExtremes();
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        const CDataset& d = chunk[i];
        // In date-time order a tie cannot move an extreme's date-time: the earlier one stays.
        // Out of order, ties are decided one lane at a time.
        const DATE at = d.GetDateTime().Value();
        const bool inOrder = at >= latest;
        latest = inOrder ? at : latest;
        const Float4 v = GroupValues<Group>(d);
        const Int4 index = Int4{} + std::int32_t(i);
        const Int4 measured = ~((v == notAvailable) | (v == overflow));
        // Not a NaN, an infinity or a value too large for the exact rounding below.
        const Int4 ordinary = measured & (v < FastLimit) & (v > -FastLimit);
        // Other lanes are 0 before they are scaled and converted, so no conversion overflows.
        const Float4 safe = Float4(Int4(v) & ordinary);
        const Float4 rounded = (safe * 1e4f + RoundingShift) - RoundingShift;
        sum += __builtin_convertvector(rounded, Int4);
        count -= ordinary;
        const Int4 lower = ordinary & (v < min);
        const Int4 higher = ordinary & (v > max);
        min = Select(lower, v, min);
        max = Select(higher, v, max);
        minIndex = (index & lower) | (minIndex & ~lower);
        maxIndex = (index & higher) | (maxIndex & ~higher);
        Int4 special = measured & ~ordinary;
        special |= inOrder ? Int4{} : Int4(ordinary & ((v == min) | (v == max)));
        if (AnyLane(special)) {
            storeExtremes();
            for (std::size_t lane = 0; lane < 4; ++lane) {
                if (special[lane] == 0)
                    continue;
                const float value = v[lane];
                if (value < FastLimit && value > -FastLimit) // counted above
                    UpdateExtremes(first + lane, value, at);
                else
                    AddLane(first + lane, value, at);
            }
            loadExtremes();
        }
    }
    storeExtremes();
    for (std::size_t lane = 0; lane < 4; ++lane) {
        m_sum[first + lane] += sum[lane];
        m_count[first + lane] += std::size_t(count[lane]);
    }
}

void StatisticsAccumulator::AddLane(std::size_t lane, float value, DATE at) {
    if (value == NotAvailable[lane] || value == Overflow[lane] || !(std::fabs(value) < Absurd))
        return;
    UpdateExtremes(lane, value, at);
    const double scaled = double(value) * 1e4;
    m_sum[lane] += std::int64_t(scaled + std::copysign(0.5, scaled));
    ++m_count[lane];
}

void StatisticsAccumulator::UpdateExtremes(std::size_t lane, float value, DATE at) {
    // Ties go to the earlier date-time, whatever order the datasets come in.
    if (value < m_min[lane] || (value == m_min[lane] && at < m_minAt[lane])) {
        m_min[lane] = value;
        m_minAt[lane] = at;
    }
    if (value > m_max[lane] || (value == m_max[lane] && at < m_maxAt[lane])) {
        m_max[lane] = value;
        m_maxAt[lane] = at;
    }
}
