#include "history/ChartColumns.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

const DATE Start = CDateTime(2024, 3, 14, 0, 0, 0).Value();

DATE Minute(double minute) {
    return Start + minute / 1440.0;
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

const ChartQuantity Indoor{ChartQuantity::Temperature, 0};

std::vector<ChartLine> LinesOf(const ChartColumns& columns, bool withNeighbours = false) {
    std::vector<ChartLine> lines;
    columns.Lines(std::span(&Indoor, 1), withNeighbours, lines);
    return lines;
}

void ExpectSameLines(const std::vector<ChartLine>& a, const std::vector<ChartLine>& b, const char* what) {
    ASSERT_EQ(a.size(), b.size()) << what;
    for (std::size_t q = 0; q < a.size(); ++q) {
        EXPECT_EQ(a[q].points, b[q].points) << what << ", quantity " << q;
        EXPECT_EQ(a[q].runStarts, b[q].runStarts) << what << ", quantity " << q;
    }
}

TEST(ChartColumns, APauseIsAGapWhenMuchLongerThanTheIntervalsAroundIt) {
    const struct {
        const char* name;
        std::vector<double> minutes;
        double minutesPerColumn;
        std::size_t runs;
    } cases[] = {
        {"a pause of four usual intervals", {0, 5, 10, 15, 35, 40, 45}, 1, 1},
        {"a pause of five usual intervals", {0, 5, 10, 15, 40, 45, 50}, 1, 2},
        {"a changed interval breaks at the change only", {0, 5, 10, 15, 20, 25, 55, 85, 115, 145, 175}, 1, 2},
        {"a lone dataset between two long pauses", {0, 5, 10, 15, 200, 400, 405, 410, 415}, 1, 3},
        {"a pause at the start, judged by the intervals after it", {0, 100, 105, 110, 115}, 1, 2},
        {"one short interval among long ones", {0, 30, 60, 61, 90, 120, 150}, 5, 1},
        {"two datasets alone", {0, 500}, 1, 1},
        {"a pause within two columns", {0, 1, 2, 3, 12, 13, 19}, 5, 1},
    };
    for (const auto& c : cases) {
        const double span = c.minutes.back() + 1;
        ChartColumns columns(Minute(0), Minute(span), int(std::ceil(span / c.minutesPerColumn)));
        columns.Add(At(c.minutes));
        EXPECT_EQ(LinesOf(columns)[0].RunCount(), c.runs) << c.name;
    }
}

// Half-hourly datasets over ten days with pauses, not-available values and an odd interval.
std::vector<CDataset> Uneven() {
    std::mt19937 random(3);
    std::vector<CDataset> datasets;
    double minute = 0;
    for (int i = 0; i < 480; ++i) {
        minute += random() % 40 == 0 ? 600 : random() % 30 == 0 ? 1 : 30;
        CDataset d;
        d.SetDateTime(CDateTime(Minute(minute)));
        for (int s = 0; s < CDataset::SensorCount; ++s) {
            d.SetTemperature(s, random() % 25 == 0 ? CDataset::TemperatureNotAvailable
                                                   : float(random() % 300) / 10);
            d.SetHumidity(s, float(20 + random() % 70));
        }
        datasets.push_back(d);
    }
    return datasets;
}

TEST(ChartColumns, BlocksStateAndReuseGiveTheSameLines) {
    const std::vector<CDataset> datasets = Uneven();
    const std::span<const CDataset> all(datasets);
    const std::vector<ChartQuantity> quantities = ChartQuantities(5);
    // A window inside the history, so that neighbours and pauses at its edges count.
    const DATE from = Minute(1000), to = datasets[400].GetDateTime().Value() + 0.01;
    const auto lines = [&](const ChartColumns& columns) {
        std::vector<ChartLine> result;
        columns.Lines(quantities, true, result);
        return result;
    };
    ChartColumns whole(from, to, 300);
    whole.Add(all);
    const std::vector<ChartLine> expected = lines(whole);
    ASSERT_GT(expected[0].RunCount(), 1u);
    ASSERT_GT(expected[0].points.size(), 100u);

    for (const std::size_t block : {1, 7, 100}) {
        ChartColumns columns(from, to, 300);
        for (std::size_t i = 0; i < all.size(); i += block)
            columns.Add(all.subspan(i, std::min(block, all.size() - i)));
        ExpectSameLines(lines(columns), expected, "in blocks");
    }
    for (const std::size_t cut : {std::size_t(1), std::size_t(150), std::size_t(399), all.size() - 1}) {
        ChartColumns first(from, to, 300);
        first.Add(all.first(cut));
        ChartColumns carriedOn(first.State());
        carriedOn.Add(all.subspan(cut));
        ExpectSameLines(lines(carriedOn), expected, "carried on from the state");
    }
    ChartColumns reused(Minute(0), Minute(5000), 50);
    reused.Add(all);
    reused.Reset(from, to, 300);
    reused.Add(all);
    ExpectSameLines(lines(reused), expected, "reused");
}

TEST(ChartColumns, AColumnWithOnlyMarksBreaksTheLineAndTheNeighboursReachTheEdges) {
    std::vector<CDataset> datasets = At({0, 10, 20, 30, 40, 50, 60});
    datasets[3].SetTemperature(0, CDataset::TemperatureOverflow);
    ChartColumns columns(Minute(5), Minute(55), 5);
    columns.Add(datasets);
    const ChartLine without = LinesOf(columns)[0];
    EXPECT_EQ(without.points.size(), 4u); // 10, 20, 40, 50
    EXPECT_EQ(without.RunCount(), 2u);
    const ChartLine with = LinesOf(columns, true)[0];
    ASSERT_EQ(with.points.size(), 6u);
    EXPECT_EQ(with.points.front().x, Minute(0));
    EXPECT_EQ(with.points.back().x, Minute(60));
    EXPECT_EQ(with.RunCount(), 2u);
}

} // namespace
