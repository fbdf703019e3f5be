#include "history/ChartPoints.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <random>

namespace {

const DATE Start = CDateTime(2024, 3, 14, 0, 0, 0).Value();

DATE Minute(double minute) {
    return Start + minute / 1440.0;
}

// One dataset per minute from Start, indoor temperature and humidity both set to the value.
std::vector<CDataset> Minutes(const std::vector<float>& values) {
    std::vector<CDataset> datasets(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        datasets[i].SetDateTime(CDateTime(Minute(double(i))));
        datasets[i].SetTemperature(0, values[i]);
        datasets[i].SetHumidity(0, values[i]);
    }
    return datasets;
}

using Segment = std::vector<std::pair<double, float>>; // minute, value

std::vector<Segment> Runs(const ChartLine& line) {
    std::vector<Segment> runs;
    for (std::size_t r = 0; r < line.RunCount(); ++r) {
        Segment run;
        for (const ChartPoint& p : line.Run(r))
            run.push_back({std::round((p.x - Start) * 1440.0 * 1000) / 1000, p.y});
        runs.push_back(run);
    }
    return runs;
}

constexpr float NA = CDataset::TemperatureNotAvailable;
constexpr float OFL = CDataset::TemperatureOverflow;

struct Case {
    const char* name;
    std::vector<float> values; // one per minute
    double from, to;           // window in minutes
    int buckets;
    std::vector<Segment> expected;
};

const Case Cases[] = {
    {"few datasets are kept as they are", {4, 5, 6}, 0, 2, 10, {{{0, 4}, {1, 5}, {2, 6}}}},
    {"each bucket gives its mean amid its datasets",
     {5, 9, 1, 4, 3, 0, 7, 2},
     0,
     7.999,
     2,
     {{{1.5, 4.75f}, {5.5, 3}}}},
    {"a constant bucket gives its value",
     {3, 3, 3, 3, 3, 3, 8, 8, 8},
     0,
     8.999,
     3,
     {{{1, 3}, {4, 3}, {7, 8}}}},
    {"not available breaks the line", {1, NA, 3}, 0, 2, 10, {{{0, 1}}, {{2, 3}}}},
    {"overflow breaks the line", {1, 2, OFL, OFL, 5}, 0, 4, 10, {{{0, 1}, {1, 2}}, {{4, 5}}}},
    {"a bucket without measurements breaks the line",
     {1, 2, 3, NA, NA, NA, 7, 8, 9},
     0,
     8.999,
     3,
     {{{1, 2}}, {{7, 8}}}},
    {"an absurd value is no measurement, kept or reduced",
     {1, 2e6f, 3, -3e7f, 4, std::numeric_limits<float>::infinity(), 5, 6, 7},
     0,
     8.999,
     3,
     {{{1, 2}, {4, 4}, {7, 6}}}},
    {"an absurd value among few datasets breaks the line", {1, 2e6f, 3}, 0, 2, 10, {{{0, 1}}, {{2, 3}}}},
    {"a reserved value among measurements is no extreme",
     {1, 2, 3, 4, OFL, 5, NA, 6, 7},
     0,
     8.999,
     3,
     {{{1, 2}, {4, 4.5f}, {7, 6.5f}}}},
    {"the neighbours outside the window are kept",
     {0, 1, 2, 3, 4, 5, 6, 7},
     3,
     4.5,
     100,
     {{{2, 2}, {3, 3}, {4, 4}, {5, 5}}}},
    {"a window before the history keeps only the first dataset", {4, 5}, -10, -5, 10, {{{0, 4}}}},
    {"an empty history has no points", {}, 0, 10, 10, {}},
};

class ChartPointsTable : public ::testing::TestWithParam<Case> {};

} // namespace

TEST_P(ChartPointsTable, Temperature) {
    const Case& c = GetParam();
    const std::vector<CDataset> datasets = Minutes(c.values);
    const ChartQuantity indoor{ChartQuantity::Temperature, 0};
    const auto lines =
        BuildChartLines(datasets, std::span(&indoor, 1), {Minute(c.from), Minute(c.to), c.buckets});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Runs(lines[0]), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ChartPointsTable, ::testing::ValuesIn(Cases), [](const auto& info) {
    std::string name = info.param.name;
    std::replace_if(
        name.begin(), name.end(), [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
    return name;
});

TEST(ChartPoints, HumidityHasItsOwnReservedValues) {
    const std::vector<CDataset> datasets =
        Minutes({40, CDataset::HumidityNotAvailable, 42, CDataset::HumidityOverflow, NA});
    const ChartQuantity humidity{ChartQuantity::Humidity, 0};
    const auto lines = BuildChartLines(datasets, std::span(&humidity, 1), {Minute(0), Minute(4), 100});
    // 81.1 is the temperature's mark; as a humidity it is a measurement.
    EXPECT_EQ(Runs(lines[0]), (std::vector<Segment>{{{0, 40}}, {{2, 42}}, {{4, NA}}}));
}

TEST(ChartPoints, NoExtremeOfABucketIsLost) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-30, 70);
    std::vector<float> values(20000);
    for (float& v : values)
        v = random() % 50 == 0 ? NA : value(random);
    const std::vector<CDataset> datasets = Minutes(values);
    const auto quantities = ChartQuantities(0);
    const int buckets = 37;
    const ChartWindow window{Minute(0), Minute(20000), buckets};
    const auto lines = BuildChartLines(datasets, quantities, window);
    const ChartLine& line = lines[0];
    ASSERT_EQ(line.points.size(), std::size_t(buckets));
    const double scale = buckets / (window.to - window.from);
    for (int b = 0; b < buckets; ++b) {
        float lo = 1e9f, hi = -1e9f;
        double sum = 0;
        int count = 0;
        for (const CDataset& d : datasets) {
            const int bucket = std::min(buckets - 1, int((d.GetDateTime().Value() - window.from) * scale));
            if (bucket == b && d.GetTemperature(0) != NA) {
                lo = std::min(lo, d.GetTemperature(0));
                hi = std::max(hi, d.GetTemperature(0));
                sum += d.GetTemperature(0);
                ++count;
            }
        }
        const ChartPoint& shown = line.points[std::size_t(b)];
        EXPECT_EQ(std::min(buckets - 1, int((shown.x - window.from) * scale)), b);
        EXPECT_EQ(shown.low, lo) << "bucket " << b;
        EXPECT_EQ(shown.high, hi) << "bucket " << b;
        EXPECT_NEAR(shown.y, sum / count, 1e-3) << "bucket " << b;
    }
    EXPECT_TRUE(std::is_sorted(line.points.begin(), line.points.end(),
                               [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; }));
}

// Datasets at these minutes after Start, indoor temperature 20.
std::vector<CDataset> At(const std::vector<double>& minutes) {
    std::vector<CDataset> datasets(minutes.size());
    for (std::size_t i = 0; i < minutes.size(); ++i) {
        datasets[i].SetDateTime(CDateTime(Minute(minutes[i])));
        datasets[i].SetTemperature(0, 20);
    }
    return datasets;
}

TEST(ChartPoints, APauseMuchLongerThanTheUsualIntervalLeavesAGap) {
    std::vector<double> everyMinute(3000);
    for (std::size_t i = 0; i < everyMinute.size(); ++i)
        everyMinute[i] = double(i) + (i >= 1500 ? 600 : 0); // ten hours without datasets
    std::vector<double> longer = everyMinute;
    for (std::size_t i = 1500; i < longer.size(); ++i)
        longer[i] -= 580; // twenty minutes: narrower than two of 100 columns
    const struct {
        const char* name;
        std::vector<double> minutes;
        int buckets;
        std::size_t runs;
    } cases[] = {
        {"kept datasets, a long pause", {0, 1, 2, 3, 10, 11, 12}, 100, 2},
        {"kept datasets, a pause of four intervals", {0, 1, 2, 3, 7, 8, 9}, 100, 1},
        {"a longer interval throughout", {0, 5, 10, 15, 20, 25}, 100, 1},
        {"reduced datasets, a long pause", everyMinute, 100, 2},
        {"reduced datasets, a pause narrower than two columns", longer, 100, 1},
    };
    const ChartQuantity indoor{ChartQuantity::Temperature, 0};
    for (const auto& c : cases) {
        const auto datasets = At(c.minutes);
        const auto lines = BuildChartLines(datasets, std::span(&indoor, 1),
                                           {Minute(c.minutes.front()), Minute(c.minutes.back()), c.buckets});
        EXPECT_EQ(lines[0].RunCount(), c.runs) << c.name;
    }
}

TEST(ChartPoints, DatasetsWithoutAUsableDateAreLeftOut) {
    std::vector<CDataset> datasets = Minutes({1, 2, 3});
    CDataset nan;
    nan.SetDateTime(CDateTime(std::nan("")));
    datasets.push_back(nan);
    datasets.push_back(CDataset()); // invalid status, sorted last by the store
    const auto span = HistorySpan(datasets);
    ASSERT_TRUE(span);
    EXPECT_EQ(span->first, Minute(0));
    EXPECT_EQ(span->last, Minute(2));
    const auto quantities = ChartQuantities(0);
    const auto lines = BuildChartLines(datasets, quantities, {Minute(-100), Minute(100), 1000});
    EXPECT_EQ(lines[0].points.size(), 3u);
    EXPECT_FALSE(HistorySpan(std::span(datasets).subspan(3)));
}

TEST(ChartPoints, QuantitiesFollowTheTransmitterCount) {
    const struct {
        int transmitters;
        std::size_t quantities;
    } cases[] = {{0, 2}, {1, 4}, {5, 12}, {6, 2}, {-1, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(ChartQuantities(c.transmitters).size(), c.quantities) << c.transmitters;
    const auto five = ChartQuantities(5);
    EXPECT_EQ(five[5], (ChartQuantity{ChartQuantity::Temperature, 5}));
    EXPECT_EQ(five[6], (ChartQuantity{ChartQuantity::Humidity, 0}));
}
