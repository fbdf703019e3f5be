#include "history/ChartPoints.h"

#include "history/StatisticsAccumulator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

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

// Adds a bucket's mean with its extremes as the band; a bucket without a measurement (only
// reserved values) breaks the line.
void AddBucket(ChartLine& line, const StatisticsAccumulator& figures, std::size_t lane, DATE x) {
    const std::size_t count = figures.Count(lane);
    if (count == 0) {
        line.Break();
        return;
    }
    const double mean = double(figures.SumTenThousandths(lane)) / 1e4 / double(count);
    // The sum is of values rounded to ten-thousandths: keep the mean inside the band.
    const float y = std::clamp(float(mean), figures.Min(lane), figures.Max(lane));
    line.Add({x, y, figures.Min(lane), figures.Max(lane)});
}

void BreakAll(std::vector<ChartLine>& lines) {
    for (ChartLine& line : lines)
        line.Break();
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
        std::partition_point(lo, plottable.end(), [&](const CDataset& d) { return When(d) <= window.to; });
    // The neighbours just outside the window carry the lines to its edges.
    const auto first = lo == plottable.begin() ? lo : lo - 1;
    const auto last = hi == plottable.end() ? hi : hi + 1;
    const std::size_t quantityCount = quantities.size();
    const int buckets = std::max(1, window.buckets);
    const double width = window.to - window.from;
    // A pause shorter than two pixel columns would not show as a gap anyway.
    const double usual = UsualInterval(std::span<const CDataset>(first, last));
    const double gap = usual > 0 ? std::max(ChartGapFactor * usual, 2 * width / buckets)
                                 : std::numeric_limits<double>::infinity();
    DATE previous = std::numeric_limits<DATE>::quiet_NaN();
    const auto addRaw = [&](const CDataset& d) {
        if (When(d) - previous > gap)
            BreakAll(lines);
        previous = When(d);
        for (std::size_t q = 0; q < quantityCount; ++q)
            AddRaw(lines[q], quantities[q], d);
    };

    if (last - first <= 2 * static_cast<std::ptrdiff_t>(buckets)) {
        for (auto d = first; d != last; ++d)
            addRaw(*d);
        return;
    }

    if (first != lo)
        addRaw(*first);

    const double scale = width > 0 ? buckets / width : 0.0;
    const auto bucketOf = [&](const CDataset& d) {
        return std::min(buckets - 1, static_cast<int>((When(d) - window.from) * scale));
    };
    // A bucket's datasets are consecutive and in date-time order: find where it ends, then take
    // every quantity's figures over them at once, as the statistics do.
    const DATE always = std::numeric_limits<DATE>::infinity();
    for (auto begin = lo; begin != hi;) {
        const int bucket = bucketOf(*begin);
        const auto end =
            std::partition_point(begin + 1, hi, [&](const CDataset& d) { return bucketOf(d) == bucket; });
        if (When(*begin) - previous > gap)
            BreakAll(lines);
        previous = When(*(end - 1));
        // Every dataset here has a valid date-time, so the accumulator takes them all.
        StatisticsAccumulator figures;
        figures.Add(std::span<const CDataset>(begin, end), -always, always);
        const DATE middle = (When(*begin) + previous) / 2;
        for (std::size_t q = 0; q < quantityCount; ++q)
            AddBucket(lines[q], figures,
                      StatisticsAccumulator::LaneOf(quantities[q].kind == ChartQuantity::Humidity,
                                                    quantities[q].sensor),
                      middle);
        begin = end;
    }

    if (last != hi)
        addRaw(*hi);
}

double UsualInterval(std::span<const CDataset> datasets) {
    if (datasets.size() < 2)
        return 0;
    const std::size_t pairs = datasets.size() - 1;
    const std::size_t samples = std::min<std::size_t>(pairs, 1001);
    std::vector<double> intervals;
    intervals.reserve(samples);
    for (std::size_t k = 0; k < samples; ++k) {
        const std::size_t i = samples == 1 ? 0 : k * (pairs - 1) / (samples - 1);
        const double interval = When(datasets[i + 1]) - When(datasets[i]);
        if (interval > 0)
            intervals.push_back(interval);
    }
    if (intervals.empty())
        return 0;
    const auto middle = intervals.begin() + std::ptrdiff_t(intervals.size() / 2);
    std::nth_element(intervals.begin(), middle, intervals.end());
    return *middle;
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
