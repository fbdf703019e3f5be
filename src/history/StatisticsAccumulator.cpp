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
// How many datasets ahead of the ones being added the memory is asked for.
constexpr std::size_t Ahead = 256;

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
    // The date-times first: this pass also brings the chunk into the cache, and the pass over the
    // values needs no branch per dataset.
    const std::span<const CDataset> run = chunk.first(InOrderRun(chunk, takeFirst, low, high));
    if (run.empty())
        return 0;
    m_latest = run.back().GetDateTime().Value();
    // A group at a time, so that every running figure stays in a register; the run is in the
    // cache by now.
    const Int4 large = AddInOrderGroup<0>(run) | AddInOrderGroup<1>(run) | AddInOrderGroup<2>(run);
    if (AnyLane(large)) [[unlikely]]
        AddLargeValues(run);
    return run.size();
}

template <std::size_t Group>
StatisticsAccumulator::Int4 StatisticsAccumulator::AddInOrderGroup(std::span<const CDataset> run) {
    constexpr std::size_t Block = InOrderSnapshots::Block;
    GroupFigures figures = StartFigures<Group>();
    InOrderSnapshots snapshots;
    Int4 large = {};
    std::size_t i = 0;
    for (; i + Block <= run.size(); i += Block) {
        // Meanwhile the memory brings in what the next runs read: the look at their date-times
        // would otherwise wait for it.
        if constexpr (Group == 0)
            for (std::size_t k = 0; k < Block; ++k)
                __builtin_prefetch(reinterpret_cast<const void*>(
                    reinterpret_cast<std::uintptr_t>(&run[i + k]) + Ahead * sizeof(CDataset)));
        for (std::size_t k = 0; k < Block; ++k)
            large |= AddValues<Group>(figures, GroupValues<Group>(run[i + k]));
        snapshots.Keep(i / Block, figures);
    }
    for (; i < run.size(); ++i)
        large |= AddValues<Group>(figures, GroupValues<Group>(run[i]));
    FinishFigures<Group>(run, figures, snapshots);
    return large;
}

std::size_t StatisticsAccumulator::InOrderRun(std::span<const CDataset> chunk, bool takeFirst, DATE low,
                                              DATE high) const {
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
    }
    return taken;
}

template <std::size_t Group>
StatisticsAccumulator::Float4 StatisticsAccumulator::GroupValues(const CDataset& d) {
    return Load<Float4>(d.Values() + 4 * Group);
}

template <std::size_t Group> StatisticsAccumulator::GroupFigures StatisticsAccumulator::StartFigures() const {
    return {Load<Float4>(&m_min[4 * Group]), Load<Float4>(&m_max[4 * Group]), UInt4{}, Int4{}};
}

template <std::size_t Group>
StatisticsAccumulator::Int4 StatisticsAccumulator::AddValues(GroupFigures& figures, Float4 v) {
    // The values are looked at as integers where that takes fewer steps: a float's magnitude
    // orders like the integer of its bits, NaNs above infinity, and a reserved mark has one pattern.
    const Int4 bits = Int4(v);
    // A NaN, an infinity or a value too large for the exact rounding below. No reserved mark is.
    const Int4 large = (bits & 0x7fffffff) >= std::bit_cast<std::int32_t>(FastLimit);
    const Int4 leftOut =
        large | (bits == Load<Int4>(&NotAvailable[4 * Group])) | (bits == Load<Int4>(&Overflow[4 * Group]));
    // Lanes left out are 0 before they are scaled and converted, so no conversion overflows. With
    // the shift, the rounded value is the low bits of the float; the shift's own bits come off at
    // the end.
    figures.shiftedSum += UInt4(Float4(bits & ~leftOut) * 1e4f + RoundingShift);
    figures.leftOut -= leftOut;
    // Lanes left out become NaNs, which change no extreme: each comparison keeps the figure.
    const Float4 measured = Float4(bits | leftOut);
    figures.min = measured < figures.min ? measured : figures.min;
    figures.max = measured > figures.max ? measured : figures.max;
    return large;
}

template <std::size_t Group>
void StatisticsAccumulator::FinishFigures(std::span<const CDataset> run, GroupFigures figures,
                                          const InOrderSnapshots& snapshots) {
    constexpr std::size_t first = 4 * Group;
    constexpr std::size_t Block = InOrderSnapshots::Block;
    const std::uint32_t shifts = std::bit_cast<std::uint32_t>(RoundingShift) * std::uint32_t(run.size());
    for (std::size_t lane = 0; lane < 4; ++lane) {
        m_sum[first + lane] += std::int32_t(figures.shiftedSum[lane] - shifts);
        m_count[first + lane] += run.size() - std::size_t(figures.leftOut[lane]);
    }
    // The first dataset of the run with the value holds it, as in date-time order a tie keeps
    // the earlier one. The extremes only go on, so the blocks before the one that reached the
    // value are halved away.
    const auto find = [&](const Float4* after, std::size_t lane, float value) {
        std::size_t block = 0, end = run.size() / Block;
        while (block < end) {
            const std::size_t middle = block + (end - block) / 2;
            if (after[middle][lane] == value)
                end = middle;
            else
                block = middle + 1;
        }
        std::size_t i = block * Block;
        while (GroupValues<Group>(run[i])[lane] != value)
            ++i;
        return run[i].GetDateTime().Value();
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

void StatisticsAccumulator::AddLargeValues(std::span<const CDataset> run) {
    // No such value equals one the quick way took, so taking them after it decides no tie
    // differently; among themselves they come in date-time order.
    for (const CDataset& d : run)
        for (std::size_t lane = 0; lane < Lanes; ++lane)
            if (!(std::fabs(d.Values()[lane]) < FastLimit))
                AddLane(lane, d.Values()[lane], d.GetDateTime().Value());
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
