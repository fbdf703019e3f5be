#include "history/ChartPoints.h"

#include "history/ChartColumns.h"

#include <algorithm>
#include <cmath>

namespace {

DATE When(const CDataset& dataset) {
    return dataset.GetDateTime().Value();
}

// The datasets with a valid, representable date-time: the store keeps valid dates ascending
// first and NaN dates after them, so they form one sorted stretch.
std::span<const CDataset> Plottable(std::span<const CDataset> datasets) {
    const auto valid = std::partition_point(datasets.begin(), datasets.end(), [](const CDataset& d) {
        return d.GetDateTime().GetStatus() == CDateTime::valid && !std::isnan(When(d));
    });
    const auto first = std::partition_point(datasets.begin(), valid,
                                            [](const CDataset& d) { return When(d) < CDateTime::MinDate; });
    const auto last =
        std::partition_point(first, valid, [](const CDataset& d) { return When(d) <= CDateTime::MaxDate; });
    return {first, last};
}

} // namespace

std::span<const ChartPoint> ChartLine::Run(std::size_t run) const {
    const std::size_t begin = runStarts[run];
    const std::size_t end = run + 1 < runStarts.size() ? runStarts[run + 1] : points.size();
    return std::span<const ChartPoint>(points).subspan(begin, end - begin);
}

void ChartLine::Clear() {
    points.clear();
    runStarts.clear();
    m_broken = true;
}

void ChartLine::Add(const ChartPoint& point) {
    if (m_broken || runStarts.empty()) {
        runStarts.push_back(points.size());
        m_broken = false;
    }
    points.push_back(point);
}

std::vector<ChartLine> BuildChartLines(std::span<const CDataset> datasets,
                                       std::span<const ChartQuantity> quantities, const ChartWindow& window) {
    std::vector<ChartLine> lines;
    BuildChartLines(datasets, quantities, window, lines);
    return lines;
}

void BuildChartLines(std::span<const CDataset> datasets, std::span<const ChartQuantity> quantities,
                     const ChartWindow& window, std::vector<ChartLine>& lines) {
    lines.resize(quantities.size());
    for (ChartLine& line : lines)
        line.Clear();
    const std::span<const CDataset> plottable = Plottable(datasets);
    if (plottable.empty() || !(window.from <= window.to))
        return;
    const auto lo = std::partition_point(plottable.begin(), plottable.end(),
                                         [&](const CDataset& d) { return When(d) < window.from; });
    const auto hi =
        std::partition_point(lo, plottable.end(), [&](const CDataset& d) { return When(d) < window.to; });
    // A few datasets on either side: the nearest carries the lines to the window's edge, and
    // their intervals tell whether a pause at the edge is a gap.
    const std::ptrdiff_t around = ChartPause::Around + 1;
    const auto first = lo - std::min(around, lo - plottable.begin());
    const auto last = hi + std::min(around, plottable.end() - hi);
    ChartColumns columns(window.from, window.to, window.buckets);
    columns.Add(std::span<const CDataset>(first, last));
    columns.Lines(quantities, true, lines);
}

std::optional<ChartSpan> HistorySpan(std::span<const CDataset> datasets) {
    const std::span<const CDataset> plottable = Plottable(datasets);
    if (plottable.empty())
        return std::nullopt;
    return ChartSpan{When(plottable.front()), When(plottable.back())};
}

std::vector<ChartQuantity> ChartQuantities(int transmitters) {
    const int outdoor = transmitters >= 0 && transmitters <= 5 ? transmitters : 0;
    std::vector<ChartQuantity> quantities;
    for (const auto kind : {ChartQuantity::Temperature, ChartQuantity::Humidity})
        for (int sensor = 0; sensor <= outdoor; ++sensor)
            quantities.push_back({kind, sensor});
    return quantities;
}
