#include "report/ChartBands.h"

#include "history/Statistics.h"

#include <algorithm>
#include <cmath>

ChartBandBuilder::ChartBandBuilder(DATE from, DATE to, int columns)
    : m_from(from), m_to(std::max(to, from + 1.0 / 86400)), m_columns(std::size_t(std::max(1, columns))) {
    m_width = (m_to - m_from) / double(m_columns.size());
}

ChartBandBuilder::ChartBandBuilder(const ChartBandState& state)
    : ChartBandBuilder(state.from, state.to, int(state.figures.size())) {
    for (std::size_t column = 0; column < m_columns.size(); ++column)
        m_columns[column] = StatisticsAccumulator(state.figures[column], state.latest[column]);
    m_previous = state.previous;
    m_shortestInterval = state.shortestInterval;
    m_any = state.any;
}

ChartBandState ChartBandBuilder::State() const {
    ChartBandState state{m_from, m_to, {}, {}, m_previous, m_shortestInterval, m_any};
    for (const StatisticsAccumulator& column : m_columns) {
        state.figures.push_back(column.Figures());
        state.latest.push_back(column.Latest());
    }
    return state;
}

void ChartBandBuilder::Add(std::span<const CDataset> datasets) {
    for (std::size_t i = 0; i < datasets.size();) {
        const CDataset& dataset = datasets[i];
        const DATE at = dataset.GetDateTime().Value();
        if (dataset.IsInvalid() || !(at >= m_from && at < m_to)) {
            ++i;
            continue;
        }
        if (m_any && at > m_previous && (m_shortestInterval == 0 || at - m_previous < m_shortestInterval))
            m_shortestInterval = at - m_previous;
        const std::size_t column =
            std::min(m_columns.size() - 1, std::size_t(std::floor((at - m_from) / m_width)));
        const DATE low = m_from + double(column) * m_width;
        const DATE high = column + 1 == m_columns.size() ? m_to : low + m_width;
        const std::size_t taken = m_columns[column].Add(datasets.subspan(i), std::min(low, at), high);
        i += taken;
        m_previous = datasets[i - 1].GetDateTime().Value();
        m_any = true;
    }
}

std::vector<BandSeries> ChartBandBuilder::Series() const {
    // The columns a line may bridge: a station that measures every 30 minutes leaves most of a
    // 5-minute column grid empty without any gap in its data.
    const double bridged = std::max(3.0, m_shortestInterval > 0 ? 3.0 * m_shortestInterval / m_width : 0.0);
    std::vector<BandSeries> series;
    for (const ChartQuantity& quantity : StatisticsQuantities()) {
        const std::size_t lane =
            StatisticsAccumulator::LaneOf(quantity.kind == ChartQuantity::Humidity, quantity.sensor);
        BandSeries band{quantity, {}, {}};
        std::size_t previous = 0;
        for (std::size_t column = 0; column < m_columns.size(); ++column) {
            const StatisticsAccumulator& figures = m_columns[column];
            if (figures.Count(lane) == 0)
                continue;
            if (band.columns.empty() || double(column - previous) > bridged)
                band.runStarts.push_back(band.columns.size());
            const double mean = double(figures.SumTenThousandths(lane)) / 1e4 / double(figures.Count(lane));
            band.columns.push_back(
                {m_from + (double(column) + 0.5) * m_width, figures.Min(lane), figures.Max(lane), mean});
            previous = column;
        }
        if (!band.columns.empty())
            series.push_back(std::move(band));
    }
    return series;
}
