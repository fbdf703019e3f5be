#include "history/StatisticsAccumulator.h"

#include "history/LaneVectors.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using Float4 = LaneVectors<4>::Float;
using Int4 = LaneVectors<4>::Int;
using Double2 = double __attribute__((vector_size(16)));
using Int2 = std::int64_t __attribute__((vector_size(16)));

Float4 Select(Int4 mask, Float4 ifSet, Float4 otherwise) {
    return Float4((Int4(ifSet) & mask) | (Int4(otherwise) & ~mask));
}

} // namespace

StatisticsAccumulator::StatisticsAccumulator(Width width)
    : m_addQuickRun(width == Width::Widest && EightLanesAvailable() ? AddQuickRunEightLanes
                                                                    : AddQuickRunFourLanes) {}

StatisticsAccumulator::StatisticsAccumulator(const LaneFigures& figures, DATE latest, Width width)
    : StatisticsAccumulator(width) {
    m_figures = figures;
    m_latest = latest;
}

std::size_t StatisticsAccumulator::Add(std::span<const CDataset> datasets, DATE low, DATE high) {
    // The run goes in a chunk at a time. Datasets in date-time order take the quick pass, which
    // keeps only the extremes and finds their datasets again when the chunk is done. Where the
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
    // The date-times first: this pass also brings the chunk into the cache, and the pass over the
    // values needs no branch per dataset.
    const std::span<const CDataset> run = chunk.first(InOrderRun(chunk, takeFirst, low, high));
    if (run.empty())
        return 0;
    m_latest = run.back().GetDateTime().Value();
    if (m_addQuickRun(m_figures, run)) [[unlikely]]
        AddLargeValues(run);
    return run.size();
}

std::size_t StatisticsAccumulator::InOrderRun(std::span<const CDataset> chunk, bool takeFirst, DATE low,
                                              DATE high) const {
    if (chunk.empty())
        return 0;
    const DATE first = chunk[0].GetDateTime().Value();
    if (!takeFirst && (chunk[0].IsInvalid() || !(first >= low && first < high)))
        return 0;
    if (!(first >= m_latest))
        return 0;
    // After the first, a dataset that does not go back need only be valid and come before `high`
    // once it is at or after `low`. Four at a time take one branch: none invalid, each at or
    // after the one before, the last before `high`. Where that fails, they are looked at again
    // one by one.
    DATE previous = std::max(first, low);
    std::size_t taken = 1;
    for (; taken + 4 <= chunk.size(); taken += 4) {
        const CDataset* d = &chunk[taken];
        const Double2 at01 = {d[0].GetDateTime().Value(), d[1].GetDateTime().Value()};
        const Double2 at23 = {d[2].GetDateTime().Value(), d[3].GetDateTime().Value()};
        const Double2 before01 = {previous, at01[0]}, before23 = {at01[1], at23[0]};
        const Int2 inOrder = (at01 >= before01) & (at23 >= before23);
        const int invalid = (d[0].GetDateTime().GetStatus() | d[1].GetDateTime().GetStatus() |
                             d[2].GetDateTime().GetStatus() | d[3].GetDateTime().GetStatus()) &
                            CDateTime::invalid;
        if (!((inOrder[0] & inOrder[1]) != 0 && invalid == 0 && at23[1] < high))
            break;
        previous = at23[1];
    }
    for (; taken < chunk.size(); ++taken) {
        const CDataset& d = chunk[taken];
        const DATE at = d.GetDateTime().Value();
        if (d.IsInvalid() || !(at >= previous && at < high))
            break;
        previous = at;
    }
    return taken;
}

void StatisticsAccumulator::AddLargeValues(std::span<const CDataset> run) {
    // No such value equals one the quick way took, so taking them after it decides no tie
    // differently; among themselves they come in date-time order.
    for (const CDataset& d : run)
        for (std::size_t lane = 0; lane < Lanes; ++lane)
            if (!(std::fabs(d.Values()[lane]) < QuickLimit))
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
        min = LoadLanes<Float4>(&m_figures.min[first]);
        max = LoadLanes<Float4>(&m_figures.max[first]);
        minIndex = maxIndex = Int4{-1, -1, -1, -1};
    };
    const auto storeExtremes = [&] {
        for (std::size_t lane = 0; lane < 4; ++lane) {
            if (minIndex[lane] >= 0) {
                m_figures.min[first + lane] = min[lane];
                m_figures.minAt[first + lane] = chunk[std::size_t(minIndex[lane])].GetDateTime().Value();
            }
            if (maxIndex[lane] >= 0) {
                m_figures.max[first + lane] = max[lane];
                m_figures.maxAt[first + lane] = chunk[std::size_t(maxIndex[lane])].GetDateTime().Value();
            }
        }
    };
    DATE latest = m_latest;
    const Float4 notAvailable = LoadLanes<Float4>(&LaneNotAvailable[first]);
    const Float4 overflow = LoadLanes<Float4>(&LaneOverflow[first]);
    loadExtremes();
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        const CDataset& d = chunk[i];
        // In date-time order a tie cannot move an extreme's date-time: the earlier one stays.
        // Out of order, ties are decided one lane at a time.
        const DATE at = d.GetDateTime().Value();
        const bool inOrder = at >= latest;
        latest = inOrder ? at : latest;
        const Float4 v = LoadLanes<Float4>(d.Values() + first);
        const Int4 index = Int4{} + std::int32_t(i);
        const Int4 measured = ~((v == notAvailable) | (v == overflow));
        // Not a NaN, an infinity or a value too large for the exact rounding below.
        const Int4 ordinary = measured & (v < QuickLimit) & (v > -QuickLimit);
        // Other lanes are 0 before they are scaled and converted, so no conversion overflows.
        const Float4 safe = Float4(Int4(v) & ordinary);
        const Float4 rounded = (safe * 1e4f + QuickRoundingShift) - QuickRoundingShift;
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
        if (AnyLaneSet(special)) {
            storeExtremes();
            for (std::size_t lane = 0; lane < 4; ++lane) {
                if (special[lane] == 0)
                    continue;
                const float value = v[lane];
                if (value < QuickLimit && value > -QuickLimit) // counted above
                    UpdateExtremes(first + lane, value, at);
                else
                    AddLane(first + lane, value, at);
            }
            loadExtremes();
        }
    }
    storeExtremes();
    for (std::size_t lane = 0; lane < 4; ++lane) {
        m_figures.sum[first + lane] += sum[lane];
        m_figures.count[first + lane] += std::size_t(count[lane]);
    }
}

void StatisticsAccumulator::AddLane(std::size_t lane, float value, DATE at) {
    if (value == LaneNotAvailable[lane] || value == LaneOverflow[lane] ||
        !(std::fabs(value) < CDataset::NoMeasurementFrom))
        return;
    UpdateExtremes(lane, value, at);
    const double scaled = double(value) * 1e4;
    m_figures.sum[lane] += std::int64_t(scaled + std::copysign(0.5, scaled));
    ++m_figures.count[lane];
}

void StatisticsAccumulator::UpdateExtremes(std::size_t lane, float value, DATE at) {
    // Ties go to the earlier date-time, whatever order the datasets come in.
    if (value < m_figures.min[lane] || (value == m_figures.min[lane] && at < m_figures.minAt[lane])) {
        m_figures.min[lane] = value;
        m_figures.minAt[lane] = at;
    }
    if (value > m_figures.max[lane] || (value == m_figures.max[lane] && at < m_figures.maxAt[lane])) {
        m_figures.max[lane] = value;
        m_figures.maxAt[lane] = at;
    }
}
