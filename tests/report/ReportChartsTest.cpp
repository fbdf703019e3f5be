#include "report/ChartBands.h"
#include "report/SvgChart.h"
#include "report/SvgNumber.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

DATE At(int year, int month, int day, int hour = 0, int minute = 0) {
    return CDateTime(year, month, day, hour, minute, 0).Value();
}

CDataset Measured(DATE at, float indoor, float humidity = 50) {
    CDataset dataset;
    dataset.SetDateTime(CDateTime(at));
    for (int sensor = 0; sensor < CDataset::SensorCount; ++sensor) {
        dataset.SetTemperature(sensor, CDataset::TemperatureNotAvailable);
        dataset.SetHumidity(sensor, CDataset::HumidityNotAvailable);
    }
    dataset.SetTemperature(0, indoor);
    dataset.SetHumidity(0, humidity);
    return dataset;
}

TEST(ChartBands, ColumnsHoldTheStatisticsOfTheirDatasets) {
    // Two columns of an hour each; the first gets three datasets, the second one.
    const DATE from = At(2025, 3, 1);
    ChartColumns builder(from, from + 2.0 / 24, 2);
    const std::vector<CDataset> datasets = {
        Measured(At(2025, 3, 1, 0, 0), 20.0f),  Measured(At(2025, 3, 1, 0, 20), 23.5f),
        Measured(At(2025, 3, 1, 0, 40), 21.1f), Measured(At(2025, 3, 1, 1, 30), 18.0f),
        Measured(At(2025, 3, 1, 2, 0), 99.0f), // outside the window
    };
    builder.Add(std::span(datasets).first(2));
    builder.Add(std::span(datasets).subspan(2));
    const std::vector<BandSeries> series = BandsOf(builder);
    ASSERT_EQ(series.size(), 2u); // indoor temperature and humidity only
    const BandSeries& temperature = series[0];
    EXPECT_EQ(temperature.quantity, (ChartQuantity{ChartQuantity::Temperature, 0}));
    ASSERT_EQ(temperature.columns.size(), 2u);
    EXPECT_FLOAT_EQ(temperature.columns[0].min, 20.0f);
    EXPECT_FLOAT_EQ(temperature.columns[0].max, 23.5f);
    EXPECT_NEAR(temperature.columns[0].mean, (20.0 + 23.5 + 21.1) / 3, 1e-5); // a float, as drawn
    EXPECT_NEAR(temperature.columns[0].at, At(2025, 3, 1, 0, 20), 1e-9); // amid its datasets
    EXPECT_FLOAT_EQ(temperature.columns[1].max, 18.0f);
    EXPECT_NEAR(temperature.columns[1].at, At(2025, 3, 1, 1, 30), 1e-9);
    EXPECT_EQ(temperature.runStarts, std::vector<std::size_t>{0});
}

TEST(ChartBands, LongStretchesWithoutDataBreakTheLineShortOnesDoNot) {
    // Hourly data in a window of 96 columns of 15 minutes: three empty columns between datasets
    // belong to the interval; a day without data is a gap.
    const DATE from = At(2025, 3, 1);
    ChartColumns builder(from, from + 1, 96);
    std::vector<CDataset> datasets;
    for (int hour = 0; hour < 24; ++hour)
        if (hour < 6 || hour >= 12)
            datasets.push_back(Measured(At(2025, 3, 1, hour), float(hour)));
    builder.Add(datasets);
    const std::vector<BandSeries> series = BandsOf(builder);
    ASSERT_FALSE(series.empty());
    EXPECT_EQ(series[0].columns.size(), 18u);
    EXPECT_EQ(series[0].runStarts, (std::vector<std::size_t>{0, 6}));
}

TEST(SvgChart, DrawsBandsAndLinesWithTitleAndDescription) {
    const DATE from = At(2025, 3, 1);
    ChartColumns builder(from, from + 1, 4);
    std::vector<CDataset> datasets;
    for (int hour = 0; hour < 24; ++hour)
        datasets.push_back(Measured(At(2025, 3, 1, hour), float(hour % 7), float(40 + hour)));
    builder.Add(datasets);
    const std::vector<BandSeries> series = BandsOf(builder);
    SvgChartSetup setup{&ReportTextsFor(1031), "März <2025>", "%d.%m.%Y", false};
    const std::string svg = SvgChart(series, from, from + 1, setup);
    EXPECT_NE(svg.find("<title id=\"title\">März &lt;2025&gt;</title>"), std::string::npos);
    EXPECT_NE(svg.find("Temperaturen und Luftfeuchten vom 01.03.2025 00:00 bis 02.03.2025 00:00"),
              std::string::npos);
    EXPECT_NE(svg.find("class=\"band s0\""), std::string::npos);
    EXPECT_NE(svg.find("class=\"line s0\""), std::string::npos);
    EXPECT_NE(svg.find("Temperatur (°C)"), std::string::npos);
    EXPECT_NE(svg.find(">Innen</text>"), std::string::npos);
    EXPECT_EQ(svg.find("Außen"), std::string::npos); // no outdoor data, no key
}

// The numbers of the drawing area come from a table, the rest are worked out: both must round to
// a tenth the same way and drop the ".0".
TEST(SvgNumber, RoundsToATenthWithoutATrailingZero) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0, "0"},
        {12, "12"},
        {12.34, "12.3"},
        {0.25, "0.3"}, // halves away from zero
        {-0.25, "-0.3"},
        {-0.04, "0"}, // no "-0"
        {-12.3, "-12.3"},
        {786, "786"},
        {999.94, "999.9"}, // the table's last
        {999.96, "1000"},  // the first beyond it
        {1234.5, "1234.5"},
        {1e15, "1000000000000000"},
        {2e15, "0"}, // beyond what a chart can mean
        {std::numeric_limits<double>::infinity(), "0"},
        {std::nan(""), "0"},
    };
    for (const auto& c : cases) {
        std::string text = "x=";
        AppendSvgNumber(text, c.value);
        EXPECT_EQ(text, std::string("x=") + c.text) << c.value;
    }
}

} // namespace
