#include "history/ChartPoints.h"

#include "history/StatisticsAccumulator.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

void AddRaw(ChartLine& line, const ChartQuantity& quantity, const CDataset& dataset) {
    const float value = quantity.ValueOf(dataset);
    if (IsPlottable(quantity.kind, value))
        line.Add(When(dataset), value);
    else
        line.Break();
}

// Adds a bucket's extremes of a lane in time order; a bucket without a measurement (only
// reserved values) breaks the line.
void AddExtremes(ChartLine& line, const StatisticsAccumulator& extremes, std::size_t lane) {
    if (extremes.Count(lane) == 0) {
        line.Break();
        return;
    }
    const float min = extremes.Min(lane), max = extremes.Max(lane);
    const DATE minX = extremes.MinAt(lane), maxX = extremes.MaxAt(lane);
    if (minX == maxX) {
        line.Add(minX, min);
        if (max != min)
            line.Add(maxX, max);
    } else if (minX < maxX) {
        line.Add(minX, min);
        line.Add(maxX, max);
    } else {
        line.Add(maxX, max);
        line.Add(minX, min);
    }
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

void ChartLine::Add(DATE x, float y) {
    if (m_broken || runStarts.empty()) {
        runStarts.push_back(points.size());
        m_broken = false;
    }
    points.push_back({x, y});
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
        std::partition_point(lo, plottable.end(), [&](const CDataset& d) { return When(d) <= window.to; });
    // The neighbours just outside the window carry the lines to its edges.
    const auto first = lo == plottable.begin() ? lo : lo - 1;
    const auto last = hi == plottable.end() ? hi : hi + 1;
    const std::size_t quantityCount = quantities.size();
    const int buckets = std::max(1, window.buckets);

    if (last - first <= 2 * static_cast<std::ptrdiff_t>(buckets)) {
        for (auto d = first; d != last; ++d)
            for (std::size_t q = 0; q < quantityCount; ++q)
                AddRaw(lines[q], quantities[q], *d);
        return;
    }

    if (first != lo)
        for (std::size_t q = 0; q < quantityCount; ++q)
            AddRaw(lines[q], quantities[q], *first);

    const double width = window.to - window.from;
    const double scale = width > 0 ? buckets / width : 0.0;
    const auto bucketOf = [&](const CDataset& d) {
        return std::min(buckets - 1, static_cast<int>((When(d) - window.from) * scale));
    };
    // A bucket's datasets are consecutive and in date-time order: find where it ends, then take
    // every quantity's extremes over them at once, as the statistics do (the first dataset that
    // reaches an extreme holds it).
    const DATE always = std::numeric_limits<DATE>::infinity();
    for (auto begin = lo; begin != hi;) {
        const int bucket = bucketOf(*begin);
        const auto end =
            std::partition_point(begin + 1, hi, [&](const CDataset& d) { return bucketOf(d) == bucket; });
        // Every dataset here has a valid date-time, so the accumulator takes them all.
        StatisticsAccumulator extremes;
        extremes.Add(std::span<const CDataset>(begin, end), -always, always);
        for (std::size_t q = 0; q < quantityCount; ++q)
            AddExtremes(lines[q], extremes,
                        StatisticsAccumulator::LaneOf(quantities[q].kind == ChartQuantity::Humidity,
                                                      quantities[q].sensor));
        begin = end;
    }

    if (last != hi)
        for (std::size_t q = 0; q < quantityCount; ++q)
            AddRaw(lines[q], quantities[q], *hi);
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
