#include "cli/StatisticsTable.h"
#include "cli/AlignedTable.h"
#include "history/StatisticsText.h"

#include "MadeSummary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Figures whose texts differ in width: signs, values just below zero, long counts, values the
// digit code leaves to the general texts, and every kind of period.
std::vector<Summary> OddSummaries() {
    const ChartQuantity indoorT{ChartQuantity::Temperature, 0}, indoorH{ChartQuantity::Humidity, 0};
    const ChartQuantity outdoor1T{ChartQuantity::Temperature, 1}, outdoor5H{ChartQuantity::Humidity, 5};
    const Period day{PeriodKind::Day, 2025, 3, 1};
    return {
        MadeSummary(day, indoorT, 1, 21.3f, 21.3f, 213000),
        MadeSummary(day, indoorH, 288, 40.0f, 100.0f, 288 * 450000),
        MadeSummary(day, outdoor1T, 123456, -0.04f, 5.0f, -4800),
        MadeSummary(day, outdoor5H, 3, 45.5f, 46.0f, 1370000),
        MadeSummary({PeriodKind::Day, 2025, 3, 2}, outdoor1T, 2, -40.1f, 1e6f, 9999599000),
        MadeSummary({PeriodKind::Week, 2024, 12, 30}, indoorT, 7, -12.4f, -12.3f, -864500),
        MadeSummary({PeriodKind::Month, 2025, 3, 1}, indoorT, 31, -5.0f, 9.9f, -31),
        MadeSummary({PeriodKind::Year, 2025, 1, 1}, indoorH, 4, 0.0f, 1.0f, 5000),
    };
}

// The table as the general aligned table lays out the cells' texts.
std::string Reference(const std::vector<Summary>& summaries, const ColumnFormat& format) {
    const std::string datePattern = DatePattern(format.dateTimePattern);
    std::vector<std::vector<std::string>> rows;
    for (const Summary& s : summaries) {
        const std::string unit = " " + QuantityUnit(s.quantity, format.fahrenheit);
        const std::string name =
            s.quantity.sensor == 0 ? "Indoor" : "Outdoor " + std::to_string(s.quantity.sensor);
        rows.push_back({PeriodText(s.period, datePattern),
                        name + (s.quantity.kind == ChartQuantity::Temperature ? " temperature" : " humidity"),
                        std::to_string(s.count),
                        SummaryValueText(s.min, s.quantity, format.fahrenheit) + unit,
                        s.minAt.Format(format.dateTimePattern),
                        SummaryValueText(s.max, s.quantity, format.fahrenheit) + unit,
                        s.maxAt.Format(format.dateTimePattern), MeanText(s, format.fahrenheit) + unit});
    }
    return FormatAlignedTable({"Period", "Quantity", "Count", "Min", "Min at", "Max", "Max at", "Mean"}, rows,
                              {false, false, true, true, false, true, false, true});
}

} // namespace

TEST(StatisticsTableTest, WidthsFromTheDigitsGiveTheTableOfTheTexts) {
    const std::vector<Summary> odd = OddSummaries();
    const struct {
        ColumnFormat format;
        std::vector<Summary> summaries;
    } cases[] = {
        {{"%d.%m.%Y %H:%M", false}, odd},
        {{"%m/%d/%Y %I:%M %p", true}, odd},
        {{"%Y-%m-%d %H:%M:%S", false}, odd},
        {{"%d.%m.%Y %H:%M", false}, {odd[0]}},                // narrow figures: the titles set the widths
        {{"%d.%m.%Y %H:%M", true}, {odd[4], odd[5], odd[2]}}, // the widest row first and last
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format.dateTimePattern + (c.format.fahrenheit ? " °F" : " °C"));
        StatisticsTable table(c.format);
        for (const Summary& s : c.summaries)
            table.Measure(s);
        std::string written;
        table.AppendTitles(written);
        for (const Summary& s : c.summaries)
            table.AppendRow(written, s);
        EXPECT_EQ(written, Reference(c.summaries, c.format));
    }
}
