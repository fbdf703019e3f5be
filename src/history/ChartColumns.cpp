#include "history/ChartColumns.h"

#include <algorithm>
#include <cmath>

namespace {

DATE When(const CDataset& dataset) {
    return dataset.GetDateTime().Value();
}

// A date-time the columns can place: valid and a number.
bool Usable(const CDataset& dataset) {
    return dataset.GetDateTime().GetStatus() == CDateTime::valid && !std::isnan(When(dataset));
}

void AddRaw(ChartLine& line, const ChartQuantity& quantity, const CDataset& dataset) {
    const float value = quantity.ValueOf(dataset);
    if (IsPlottable(quantity.kind, value))
        line.Add(When(dataset), value);
    else
        line.Break();
}

} // namespace

ChartColumns::ChartColumns(DATE from, DATE to, int columns) {
    Reset(from, to, columns);
}

ChartColumns::ChartColumns(const ChartColumnsState& state)
    : ChartColumns(state.from, state.to, int(state.count)) {
    const std::size_t used =
        std::min({state.columns.size(), state.figures.size(), state.first.size(), state.latest.size()});
    for (std::size_t i = 0; i < used; ++i) {
        const std::uint32_t column = state.columns[i];
        if (column >= m_slots.size() || m_slots[column] != None)
            continue;
        m_slots[column] = std::uint32_t(m_used.size());
        m_used.push_back({StatisticsAccumulator(state.figures[i], state.latest[i]), state.first[i], column});
    }
    m_stream = state.stream;
    m_pauses = state.pauses;
}

ChartColumnsState ChartColumns::State() const {
    ChartColumnsState state{m_from, m_to, std::uint32_t(m_slots.size()), {}, {}, {}, {}, m_stream, m_pauses};
    for (const Used& used : m_used) {
        state.columns.push_back(used.column);
        state.figures.push_back(used.figures.Figures());
        state.first.push_back(used.first);
        state.latest.push_back(used.figures.Latest());
    }
    return state;
}

void ChartColumns::Reset(DATE from, DATE to, int columns) {
    m_from = from;
    m_to = std::max(to, from + 1.0 / 86400);
    const std::size_t count = std::size_t(std::max(1, columns));
    m_width = (m_to - m_from) / double(count);
    m_slots.assign(count, None);
    m_used.clear();
    m_used.reserve(count); // untouched until used, and no copies while the columns fill
    m_stream = {};
    m_pauses.clear();
}

std::size_t ChartColumns::ColumnOf(DATE at) const {
    return std::min(m_slots.size() - 1, std::size_t(std::max(0.0, std::floor((at - m_from) / m_width))));
}

void ChartColumns::Add(std::span<const CDataset> datasets) {
    for (std::size_t i = 0; i < datasets.size();) {
        const CDataset& dataset = datasets[i];
        if (!Usable(dataset)) {
            ++i;
            continue;
        }
        const DATE at = When(dataset);
        Note(at);
        if (!(at >= m_from && at < m_to)) {
            if (at < m_from) {
                m_stream.before = dataset;
                m_stream.hasBefore = true;
            } else if (!m_stream.hasAfter) {
                m_stream.after = dataset;
                m_stream.hasAfter = true;
            }
            ++i;
            continue;
        }
        const std::size_t column = ColumnOf(at);
        if (m_slots[column] == None) {
            m_slots[column] = std::uint32_t(m_used.size());
            m_used.push_back({StatisticsAccumulator(), at, std::uint32_t(column)});
        }
        Used& used = m_used[m_slots[column]];
        used.first = std::min(used.first, at);
        const DATE low = m_from + double(column) * m_width;
        const DATE high = column + 1 == m_slots.size() ? m_to : low + m_width;
        // The accumulator takes the dataset and those after it in the same column.
        const std::size_t taken = used.figures.Add(datasets.subspan(i), std::min(low, at), high);
        NoteRun(datasets.subspan(i + 1, taken - 1));
        i += taken;
    }
}

void ChartColumns::Note(DATE at) {
    if (!m_stream.any) {
        m_stream.any = true;
        m_stream.previous = at;
        return;
    }
    const DATE interval = at - m_stream.previous;
    if (!(interval > 0)) // a repeated date-time, or one out of order: no interval
        return;
    // The interval lies after every pause still gathering its neighbourhood: those are the last.
    for (auto pause = m_pauses.rbegin(); pause != m_pauses.rend() && pause->after < ChartPause::Around;
         ++pause)
        pause->intervals[pause->before + pause->after++] = interval;
    if (interval > 2 * m_width && m_stream.previous < m_to && at >= m_from) {
        ChartPause pause;
        pause.column = at < m_to ? std::uint32_t(ColumnOf(at)) : std::uint32_t(m_slots.size());
        pause.length = interval;
        std::copy_n(m_stream.recent.end() - m_stream.recentCount, m_stream.recentCount,
                    pause.intervals.begin());
        pause.before = m_stream.recentCount;
        m_pauses.push_back(pause);
    }
    std::shift_left(m_stream.recent.begin(), m_stream.recent.end(), 1);
    m_stream.recent.back() = interval;
    m_stream.recentCount = std::uint8_t(std::min<std::size_t>(m_stream.recentCount + 1u, ChartPause::Around));
    m_stream.previous = at;
}

void ChartColumns::NoteRun(std::span<const CDataset> run) {
    constexpr std::size_t Around = ChartPause::Around;
    if (run.size() <= 2 * Around) {
        for (const CDataset& dataset : run)
            Note(When(dataset));
        return;
    }
    for (const CDataset& dataset : run.first(Around))
        Note(When(dataset));
    // Inside a column no interval is a pause: go on from the dataset before the last few.
    m_stream.previous = std::max(m_stream.previous, When(run[run.size() - Around - 1]));
    for (const CDataset& dataset : run.last(Around))
        Note(When(dataset));
}

bool ChartColumns::IsGap(const ChartPause& pause) const {
    std::array<DATE, 2 * ChartPause::Around> around = pause.intervals;
    const std::size_t count = std::size_t(pause.before) + pause.after;
    if (count == 0)
        return false;
    const auto median = around.begin() + std::ptrdiff_t((count - 1) / 2);
    std::nth_element(around.begin(), median, around.begin() + std::ptrdiff_t(count));
    // Date-times are whole seconds: a pause of just the factor's intervals is none, rounding aside.
    return pause.length - ChartGapFactor * *median > 0.5 / 86400;
}

void ChartColumns::Lines(std::span<const ChartQuantity> quantities, bool withNeighbours,
                         std::vector<ChartLine>& lines) const {
    std::vector<std::uint32_t> gaps; // the columns after a gap, ascending
    for (const ChartPause& pause : m_pauses)
        if (IsGap(pause))
            gaps.push_back(pause.column);
    std::sort(gaps.begin(), gaps.end());
    const auto gapBefore = [&](std::size_t column) {
        return std::binary_search(gaps.begin(), gaps.end(), std::uint32_t(column));
    };
    lines.resize(quantities.size());
    for (std::size_t q = 0; q < quantities.size(); ++q) {
        const ChartQuantity& quantity = quantities[q];
        ChartLine& line = lines[q];
        line.Clear();
        if (withNeighbours && m_stream.hasBefore)
            AddRaw(line, quantity, m_stream.before);
        const std::size_t lane =
            StatisticsAccumulator::LaneOf(quantity.kind == ChartQuantity::Humidity, quantity.sensor);
        for (std::size_t column = 0; column < m_slots.size(); ++column) {
            if (m_slots[column] == None)
                continue;
            if (gapBefore(column))
                line.Break();
            const Used& used = UsedColumn(column);
            const StatisticsAccumulator& figures = used.figures;
            const std::size_t count = figures.Count(lane);
            if (count == 0) {
                line.Break();
                continue;
            }
            const double mean = double(figures.SumTenThousandths(lane)) / 1e4 / double(count);
            // The sum is of values rounded to ten-thousandths: keep the mean inside the band.
            const float y = std::clamp(float(mean), figures.Min(lane), figures.Max(lane));
            line.Add({(used.first + figures.Latest()) / 2, y, figures.Min(lane), figures.Max(lane)});
        }
        if (withNeighbours && m_stream.hasAfter) {
            if (gapBefore(m_slots.size()))
                line.Break();
            AddRaw(line, quantity, m_stream.after);
        }
    }
}
