#include "history/StatisticsAccumulator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

using Float4 = StatisticsAccumulator::Float4;
using Int4 = StatisticsAccumulator::Int4;
constexpr std::size_t Lanes = StatisticsAccumulator::Lanes;

// Below this the four-lane rounding is exact: ten-thousandths stay under 2^22.
constexpr float FastLimit = 400.0f;
// Adding and taking away 1.5 * 2^23 rounds a float below 2^22 to the nearest integer.
constexpr float RoundingShift = 12582912.0f;
// Pending sums of at most 4e6 per dataset stay inside an int32 for 500 datasets.
constexpr int FlushEvery = 256;
// A value a million times beyond any sensor's range is no measurement; leaving it out also keeps
// the sums far from overflowing.
constexpr float Absurd = 1e6f;

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
    // The running figures stay in registers for the whole run. A new extreme keeps the index of
    // its dataset in the run (-1: none yet), turned into a date-time when the run is done; the
    // pending sums and counts go into the totals before an int32 could overflow.
    Float4 min[3], max[3];
    Int4 minIndex[3], maxIndex[3];
    Int4 sum[3] = {}, count[3] = {};
    const auto loadExtremes = [&] {
        for (std::size_t group = 0; group < 3; ++group) {
            min[group] = Load<Float4>(&m_min[4 * group]);
            max[group] = Load<Float4>(&m_max[4 * group]);
            minIndex[group] = maxIndex[group] = Int4{-1, -1, -1, -1};
        }
    };
    const auto storeExtremes = [&] {
        for (std::size_t group = 0; group < 3; ++group)
            for (std::size_t lane = 0; lane < 4; ++lane) {
                const std::size_t at = 4 * group + lane;
                if (minIndex[group][lane] >= 0) {
                    m_min[at] = min[group][lane];
                    m_minAt[at] = datasets[std::size_t(minIndex[group][lane])].GetDateTime().Value();
                }
                if (maxIndex[group][lane] >= 0) {
                    m_max[at] = max[group][lane];
                    m_maxAt[at] = datasets[std::size_t(maxIndex[group][lane])].GetDateTime().Value();
                }
            }
    };
    const auto flush = [&] {
        for (std::size_t group = 0; group < 3; ++group)
            for (std::size_t lane = 0; lane < 4; ++lane) {
                m_sum[4 * group + lane] += sum[group][lane];
                m_count[4 * group + lane] += std::size_t(count[group][lane]);
            }
        std::fill(std::begin(sum), std::end(sum), Int4{});
        std::fill(std::begin(count), std::end(count), Int4{});
    };
    loadExtremes();
    int pending = 0;
    DATE latest = m_latest;
    std::size_t taken = 0;
    // Indices fit the lanes: a run longer than that is cut and the caller goes on with the rest.
    const std::size_t most = std::min<std::size_t>(datasets.size(), 0x7fffffff);
    for (; taken < most; ++taken) {
        const CDataset& d = datasets[taken];
        const DATE at = d.GetDateTime().Value();
        if (taken > 0 && (d.IsInvalid() || !(at >= low && at < high)))
            break;
        // In date-time order a tie cannot move an extreme's date-time: the earlier one stays.
        // Out of order, ties are decided one lane at a time.
        const bool inOrder = at >= latest;
        latest = inOrder ? at : latest;
        const Float4 groups[3] = {
            {d.GetTemperature(0), d.GetTemperature(1), d.GetTemperature(2), d.GetTemperature(3)},
            {d.GetHumidity(0), d.GetHumidity(1), d.GetHumidity(2), d.GetHumidity(3)},
            {d.GetTemperature(4), d.GetTemperature(5), d.GetHumidity(4), d.GetHumidity(5)},
        };
        const Int4 index = Int4{} + std::int32_t(taken);
        Int4 special[3];
        Int4 anySpecial = {};
#pragma GCC unroll 3
        for (std::size_t group = 0; group < 3; ++group) {
            const Float4 v = groups[group];
            const Int4 measured =
                ~((v == Load<Float4>(&NotAvailable[4 * group])) | (v == Load<Float4>(&Overflow[4 * group])));
            // Not a NaN, an infinity or a value too large for the exact rounding below.
            const Int4 ordinary = measured & (v < FastLimit) & (v > -FastLimit);
            // Other lanes are 0 before they are scaled and converted, so no conversion overflows.
            const Float4 safe = Float4(Int4(v) & ordinary);
            const Float4 rounded = (safe * 1e4f + RoundingShift) - RoundingShift;
            sum[group] += __builtin_convertvector(rounded, Int4);
            count[group] -= ordinary;
            const Int4 lower = ordinary & (v < min[group]);
            const Int4 higher = ordinary & (v > max[group]);
            min[group] = Select(lower, v, min[group]);
            max[group] = Select(higher, v, max[group]);
            minIndex[group] = (index & lower) | (minIndex[group] & ~lower);
            maxIndex[group] = (index & higher) | (maxIndex[group] & ~higher);
            const Int4 tie = inOrder ? Int4{} : Int4((v == min[group]) | (v == max[group]));
            special[group] = (measured & ~ordinary) | (ordinary & tie);
            anySpecial |= special[group];
        }
        if (AnyLane(anySpecial)) {
            storeExtremes();
            for (std::size_t group = 0; group < 3; ++group)
                for (std::size_t lane = 0; lane < 4; ++lane) {
                    if (special[group][lane] == 0)
                        continue;
                    const float value = groups[group][lane];
                    if (value < FastLimit && value > -FastLimit) // counted above
                        UpdateExtremes(4 * group + lane, value, at);
                    else
                        AddLane(4 * group + lane, value, at);
                }
            loadExtremes();
        }
        if (++pending == FlushEvery) {
            flush();
            pending = 0;
        }
    }
    storeExtremes();
    flush();
    m_latest = latest;
    return taken;
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
