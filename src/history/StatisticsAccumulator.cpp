#include "history/StatisticsAccumulator.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

using Float4 = StatisticsAccumulator::Float4;
using Int4 = StatisticsAccumulator::Int4;
using UInt4 = std::uint32_t __attribute__((vector_size(16)));
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
    const Float4 infinity = Float4{} + std::numeric_limits<float>::infinity();
    const Int4 magnitude = Int4{} + 0x7fffffff;
    Float4 min[3], max[3];
    // The shifted values' bits, added with wrap-around: the shift's own bits come off at the end.
    UInt4 shiftedSum[3] = {};
    Int4 count[3] = {};
    const auto loadExtremes = [&] {
        for (std::size_t group = 0; group < 3; ++group) {
            min[group] = Load<Float4>(&m_min[4 * group]);
            max[group] = Load<Float4>(&m_max[4 * group]);
        }
    };
    // The extremes after every Block datasets, so that a new extreme's dataset is looked for in
    // one block only: the first dataset since `from` with its value holds it, as in date-time
    // order a tie keeps the earlier one.
    constexpr std::size_t Block = 8;
    Float4 minAfter[Chunk / Block][3], maxAfter[Chunk / Block][3];
    std::size_t from = 0;
    const auto find = [&](auto reached, std::size_t lane, float value, std::size_t to) {
        // The extremes only go on, so the blocks before the one that reached the value are
        // halved away.
        std::size_t block = from / Block, end = to / Block;
        while (block < end) {
            const std::size_t middle = block + (end - block) / 2;
            if (reached(middle, lane / 4, lane % 4, value))
                end = middle;
            else
                block = middle + 1;
        }
        std::size_t i = std::max(from, block * Block);
        while (ValueOf(chunk[i], lane) != value)
            ++i;
        return chunk[i].GetDateTime().Value();
    };
    const auto storeExtremes = [&](std::size_t to) {
        for (std::size_t lane = 0; lane < Lanes; ++lane) {
            const float newMin = min[lane / 4][lane % 4], newMax = max[lane / 4][lane % 4];
            if (newMin < m_min[lane]) {
                m_minAt[lane] = find([&](std::size_t b, std::size_t g, std::size_t l,
                                         float v) { return minAfter[b][g][l] == v; },
                                     lane, newMin, to);
                m_min[lane] = newMin;
            }
            if (newMax > m_max[lane]) {
                m_maxAt[lane] = find([&](std::size_t b, std::size_t g, std::size_t l,
                                         float v) { return maxAfter[b][g][l] == v; },
                                     lane, newMax, to);
                m_max[lane] = newMax;
            }
        }
    };
    loadExtremes();
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
        const Float4 groups[3] = {
            {d.GetTemperature(0), d.GetTemperature(1), d.GetTemperature(2), d.GetTemperature(3)},
            {d.GetHumidity(0), d.GetHumidity(1), d.GetHumidity(2), d.GetHumidity(3)},
            {d.GetTemperature(4), d.GetTemperature(5), d.GetHumidity(4), d.GetHumidity(5)},
        };
        Int4 special[3];
        Int4 anySpecial = {};
#pragma GCC unroll 3
        for (std::size_t group = 0; group < 3; ++group) {
            const Float4 v = groups[group];
            const Int4 mark =
                (v == Load<Float4>(&NotAvailable[4 * group])) | (v == Load<Float4>(&Overflow[4 * group]));
            // Not a NaN, an infinity or a value too large for the exact rounding below.
            const Int4 ordinary = ~mark & (Float4(Int4(v) & magnitude) < FastLimit);
            // Other lanes are 0 before they are scaled and converted, so no conversion overflows.
            const Float4 safe = Float4(Int4(v) & ordinary);
            // With the shift, the rounded value is the low bits of the float.
            shiftedSum[group] += UInt4(safe * 1e4f + RoundingShift);
            count[group] -= ordinary;
            // Other lanes move away to infinity (a NaN stays one), where they change no extreme.
            const Float4 away = Float4(~ordinary & Int4(infinity));
            const Float4 low = v + away, high = v - away;
            min[group] = low < min[group] ? low : min[group];
            max[group] = high > max[group] ? high : max[group];
            special[group] = ~(mark | ordinary);
            anySpecial |= special[group];
        }
        if ((taken + 1) % Block == 0)
            for (std::size_t group = 0; group < 3; ++group) {
                minAfter[taken / Block][group] = min[group];
                maxAfter[taken / Block][group] = max[group];
            }
        if (AnyLane(anySpecial)) {
            storeExtremes(taken + 1);
            from = taken + 1;
            for (std::size_t group = 0; group < 3; ++group)
                for (std::size_t lane = 0; lane < 4; ++lane)
                    if (special[group][lane] != 0)
                        AddLane(4 * group + lane, groups[group][lane], at);
            loadExtremes();
        }
    }
    storeExtremes(taken);
    for (std::size_t group = 0; group < 3; ++group)
        for (std::size_t lane = 0; lane < 4; ++lane) {
            const std::uint32_t shifts = std::bit_cast<std::uint32_t>(RoundingShift) * std::uint32_t(taken);
            m_sum[4 * group + lane] += std::int32_t(shiftedSum[group][lane] - shifts);
            m_count[4 * group + lane] += std::size_t(count[group][lane]);
        }
    m_latest = latest;
    return taken;
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
        Float4 v;
        if constexpr (Group == 0)
            v = Float4{d.GetTemperature(0), d.GetTemperature(1), d.GetTemperature(2), d.GetTemperature(3)};
        else if constexpr (Group == 1)
            v = Float4{d.GetHumidity(0), d.GetHumidity(1), d.GetHumidity(2), d.GetHumidity(3)};
        else
            v = Float4{d.GetTemperature(4), d.GetTemperature(5), d.GetHumidity(4), d.GetHumidity(5)};
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
