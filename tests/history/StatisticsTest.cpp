#include "history/Statistics.h"
#include "history/CsvField.h"
#include "history/HistoryRecord.h"
#include "history/StatisticsAccumulator.h"
#include "history/StatisticsText.h"

#include "HistoryTestSupport.h"
#include "MadeSummary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr float NA = CDataset::TemperatureNotAvailable;
constexpr float OFL = CDataset::TemperatureOverflow;
constexpr float HNA = CDataset::HumidityNotAvailable;
constexpr float HOFL = CDataset::HumidityOverflow;

const ChartQuantity IndoorTemperature{ChartQuantity::Temperature, 0};
const ChartQuantity IndoorHumidity{ChartQuantity::Humidity, 0};
const ChartQuantity Outdoor1Temperature{ChartQuantity::Temperature, 1};

// A summary as the tests expect it, the date-times as "YYYY-MM-DD HH:MM:SS".
struct Expected {
    std::string period;
    std::string quantity;
    std::size_t count;
    std::string min, minAt, max, maxAt, mean;
};

Expected Describe(const Summary& s) {
    return {PeriodKey(s.period),
            QuantityKey(s.quantity),
            s.count,
            SummaryValueText(s.min, s.quantity, false),
            s.minAt.LogText(),
            SummaryValueText(s.max, s.quantity, false),
            s.maxAt.LogText(),
            MeanText(s, false)};
}

void ExpectSummaries(const std::vector<Summary>& actual, const std::vector<Expected>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Expected a = Describe(actual[i]);
        const Expected& e = expected[i];
        SCOPED_TRACE("summary " + std::to_string(i) + ": " + e.period + " " + e.quantity);
        EXPECT_EQ(a.period, e.period);
        EXPECT_EQ(a.quantity, e.quantity);
        EXPECT_EQ(a.count, e.count);
        EXPECT_EQ(a.min, e.min);
        EXPECT_EQ(a.minAt, e.minAt);
        EXPECT_EQ(a.max, e.max);
        EXPECT_EQ(a.maxAt, e.maxAt);
        EXPECT_EQ(a.mean, e.mean);
    }
}

CDataset WithOutdoor1(CDataset dataset, float temperature, float humidity) {
    dataset.SetTemperature(1, temperature);
    dataset.SetHumidity(1, humidity);
    return dataset;
}

// One value, then that many zeros.
std::vector<float> MostlyZero(float first, std::size_t zeros) {
    std::vector<float> values(zeros + 1, 0.0f);
    values[0] = first;
    return values;
}

} // namespace

TEST(StatisticsTest, ReservedValuesAreLeftOutAndAQuantityWithoutValuesHasNoSummary) {
    const std::vector<CDataset> datasets = {
        WithOutdoor1(MakeDataset(2025, 3, 1, 6, 0, 20.0f, 40.0f), NA, HNA),
        WithOutdoor1(MakeDataset(2025, 3, 1, 7, 0, NA, HNA), OFL, HOFL),
        WithOutdoor1(MakeDataset(2025, 3, 1, 8, 0, OFL, HOFL), NA, HNA),
        WithOutdoor1(MakeDataset(2025, 3, 1, 9, 0, 23.0f, HOFL), NA, HNA),
        // The next day outdoor transmitter 1 measures; indoors nothing is available.
        WithOutdoor1(MakeDataset(2025, 3, 2, 6, 0, NA, HNA), -4.5f, 90.0f),
    };
    ExpectSummaries(Summarize(datasets, PeriodKind::Day),
                    {
                        {"2025-03-01", "indoor_temperature", 2, "20.0", "2025-03-01 06:00:00", "23.0",
                         "2025-03-01 09:00:00", "21.50"},
                        {"2025-03-01", "indoor_humidity", 1, "40", "2025-03-01 06:00:00", "40",
                         "2025-03-01 06:00:00", "40.00"},
                        {"2025-03-02", "outdoor1_temperature", 1, "-4.5", "2025-03-02 06:00:00", "-4.5",
                         "2025-03-02 06:00:00", "-4.50"},
                        {"2025-03-02", "outdoor1_humidity", 1, "90", "2025-03-02 06:00:00", "90",
                         "2025-03-02 06:00:00", "90.00"},
                    });
}

TEST(StatisticsTest, TiesGoToTheEarliestDateTimeInAnyInputOrder) {
    std::vector<CDataset> datasets = {
        MakeDataset(2025, 3, 1, 6, 0, 5.0f, 50.0f),  MakeDataset(2025, 3, 1, 8, 0, 5.0f, 60.0f),
        MakeDataset(2025, 3, 1, 9, 0, 7.0f, 60.0f),  MakeDataset(2025, 3, 1, 10, 0, 7.0f, 50.0f),
        MakeDataset(2025, 3, 1, 11, 0, 6.0f, 55.0f),
    };
    const std::vector<Expected> expected = {
        {"2025", "indoor_temperature", 5, "5.0", "2025-03-01 06:00:00", "7.0", "2025-03-01 09:00:00", "6.00"},
        {"2025", "indoor_humidity", 5, "50", "2025-03-01 06:00:00", "60", "2025-03-01 08:00:00", "55.00"},
    };
    ExpectSummaries(Summarize(datasets, PeriodKind::Year), expected);
    std::reverse(datasets.begin(), datasets.end());
    ExpectSummaries(Summarize(datasets, PeriodKind::Year), expected);
}

TEST(StatisticsTest, PeriodsOfADateTime) {
    const struct {
        CDateTime at;
        PeriodKind kind;
        const char* key;
    } cases[] = {
        // ISO weeks across a year's end: the week belongs to the year of its Thursday.
        {CDateTime(2024, 12, 29, 23, 59, 0), PeriodKind::Week, "2024-W52"},
        {CDateTime(2024, 12, 30, 0, 0, 0), PeriodKind::Week, "2025-W01"},
        {CDateTime(2025, 1, 5, 23, 59, 0), PeriodKind::Week, "2025-W01"},
        {CDateTime(2025, 1, 6, 0, 0, 0), PeriodKind::Week, "2025-W02"},
        {CDateTime(2021, 1, 3, 12, 0, 0), PeriodKind::Week, "2020-W53"},
        {CDateTime(2027, 1, 1, 12, 0, 0), PeriodKind::Week, "2026-W53"},
        {CDateTime(2025, 3, 1, 6, 35, 0), PeriodKind::Week, "2025-W09"},
        // A leap day is a day of February.
        {CDateTime(2024, 2, 29, 12, 0, 0), PeriodKind::Day, "2024-02-29"},
        {CDateTime(2024, 2, 29, 23, 59, 0), PeriodKind::Month, "2024-02"},
        {CDateTime(2024, 3, 1, 0, 0, 0), PeriodKind::Month, "2024-03"},
        {CDateTime(2024, 12, 31, 23, 59, 0), PeriodKind::Year, "2024"},
        // Half a second before midnight is rounded to it.
        {CDateTime(CDateTime(2024, 3, 1, 0, 0, 0).Value() - 0.4 / 86400), PeriodKind::Day, "2024-03-01"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.at.LogText());
        const std::optional<Period> period = PeriodOf(c.kind, c.at);
        ASSERT_TRUE(period);
        EXPECT_EQ(PeriodKey(*period), c.key);
    }
    CDateTime invalid;
    invalid.SetStatus(CDateTime::invalid);
    EXPECT_FALSE(PeriodOf(PeriodKind::Day, invalid));
}

TEST(StatisticsTest, WeeksAndALeapDayInOnePass) {
    // Every six hours from Sunday 2024-02-25 to Monday 2024-03-04, indoor temperature = day of the
    // month (February) or 29 + day (March), so each week's values are easy to add by hand.
    std::vector<CDataset> datasets;
    for (int day = 25; day <= 33; ++day)
        for (int hour = 0; hour < 24; hour += 6) {
            const int month = day <= 29 ? 2 : 3;
            datasets.push_back(
                MakeDataset(2024, month, month == 2 ? day : day - 29, hour, 0, float(day), 50.0f));
        }
    // Week 8: Sunday the 25th only. Week 9: Monday 26 Feb (26) to Sunday 3 Mar (32). Week 10: 33.
    const std::vector<Summary> weeks = Summarize(datasets, PeriodKind::Week);
    ASSERT_EQ(weeks.size(), 6u);
    ExpectSummaries({weeks[0], weeks[2], weeks[4]},
                    {
                        {"2024-W08", "indoor_temperature", 4, "25.0", "2024-02-25 00:00:00", "25.0",
                         "2024-02-25 00:00:00", "25.00"},
                        {"2024-W09", "indoor_temperature", 28, "26.0", "2024-02-26 00:00:00", "32.0",
                         "2024-03-03 00:00:00", "29.00"},
                        {"2024-W10", "indoor_temperature", 4, "33.0", "2024-03-04 00:00:00", "33.0",
                         "2024-03-04 00:00:00", "33.00"},
                    });
    const std::vector<Summary> days = Summarize(datasets, PeriodKind::Day);
    ASSERT_EQ(days.size(), 18u);
    EXPECT_EQ(PeriodKey(days[8].period), "2024-02-29");
    EXPECT_EQ(PeriodKey(days[10].period), "2024-03-01");
    const std::vector<Summary> months = Summarize(datasets, PeriodKind::Month);
    ASSERT_EQ(months.size(), 4u);
    EXPECT_EQ(months[0].count, 20u); // 25 to 29 February
    EXPECT_EQ(MeanText(months[0], false), "27.00");
    EXPECT_EQ(months[2].count, 16u); // 1 to 4 March
}

TEST(StatisticsTest, ARangeCutsPeriodsAndIncludesBothEnds) {
    const std::vector<CDataset> datasets = {
        MakeDataset(2025, 2, 28, 23, 55, 1.0f), MakeDataset(2025, 3, 1, 0, 0, 2.0f),
        MakeDataset(2025, 3, 10, 6, 0, 3.0f),   MakeDataset(2025, 3, 20, 6, 0, 4.0f),
        MakeDataset(2025, 3, 20, 6, 5, 5.0f),
    };
    StatisticsRange range;
    range.from = CDateTime(2025, 3, 1, 0, 0, 0);
    range.to = CDateTime(2025, 3, 20, 6, 0, 0);
    const std::vector<Summary> months = Summarize(datasets, PeriodKind::Month, range);
    ASSERT_EQ(months.size(), 2u);
    ExpectSummaries({months[0]}, {{"2025-03", "indoor_temperature", 3, "2.0", "2025-03-01 00:00:00", "4.0",
                                   "2025-03-20 06:00:00", "3.00"}});

    range.to.reset(); // open end
    range.from = CDateTime(2025, 3, 15, 0, 0, 0);
    const std::vector<Summary> rest = Summarize(datasets, PeriodKind::Month, range);
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_EQ(rest[0].count, 2u);
    EXPECT_EQ(MeanText(rest[0], false), "4.50");

    range.from = CDateTime(2026, 1, 1, 0, 0, 0);
    EXPECT_TRUE(Summarize(datasets, PeriodKind::Month, range).empty());
    EXPECT_TRUE(Summarize({}, PeriodKind::Day).empty());
}

TEST(StatisticsTest, InvalidDateTimesAreLeftOut) {
    CDataset invalid = MakeDataset(2025, 3, 1, 6, 0, 99.0f);
    CDateTime bad = invalid.GetDateTime();
    bad.SetStatus(CDateTime::invalid);
    invalid.SetDateTime(bad);
    const std::vector<Summary> summaries =
        Summarize(std::vector<CDataset>{invalid, MakeDataset(2025, 3, 1, 7, 0, 10.0f)}, PeriodKind::Day);
    ASSERT_EQ(summaries.size(), 2u);
    EXPECT_EQ(summaries[0].count, 1u);
    EXPECT_EQ(summaries[0].max, 10.0f);
}

TEST(StatisticsTest, MeansAreRoundedFromTheExactSum) {
    const auto mean = [](std::vector<float> values, ChartQuantity quantity, bool fahrenheit) {
        std::vector<CDataset> datasets;
        for (std::size_t i = 0; i < values.size(); ++i) {
            CDataset dataset = MakeDataset(2025, 3, 1, 0, int(i), NA, HNA);
            if (quantity.kind == ChartQuantity::Temperature)
                dataset.SetTemperature(quantity.sensor, values[i]);
            else
                dataset.SetHumidity(quantity.sensor, values[i]);
            datasets.push_back(dataset);
        }
        const std::vector<Summary> summaries = Summarize(datasets, PeriodKind::Day);
        return summaries.size() == 1 ? MeanText(summaries[0], fahrenheit)
                                     : "(" + std::to_string(summaries.size()) + ")";
    };
    const struct {
        std::vector<float> values;
        ChartQuantity quantity;
        bool fahrenheit;
        const char* mean;
    } cases[] = {
        // 21.275 exactly: float sums of 21.3f (just below 21.3) would round it down.
        {{21.3f, 21.3f, 21.3f, 21.2f}, IndoorTemperature, false, "21.28"},
        {{-21.3f, -21.3f, -21.3f, -21.2f}, Outdoor1Temperature, false, "-21.28"},
        {{1.0f, 1.0f, 2.0f}, IndoorTemperature, false, "1.33"},
        {{-0.1f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
         IndoorTemperature,
         false,
         "-0.01"},
        {MostlyZero(-0.1f, 20), IndoorTemperature, false, "0.00"}, // -0.0048, never "-0.00"
        {{45.0f, 46.0f}, IndoorHumidity, false, "45.50"},
        {{45.0f, 46.0f}, IndoorHumidity, true, "45.50"}, // humidities have no unit to convert
        {{20.0f}, IndoorTemperature, true, "68.00"},
        {{21.3f, 21.3f, 21.3f, 21.2f}, IndoorTemperature, true, "70.30"}, // 70.295
        {{-40.0f, -40.1f}, Outdoor1Temperature, true, "-40.09"},          // -40.09
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mean);
        EXPECT_EQ(mean(c.values, c.quantity, c.fahrenheit), c.mean);
    }
}

TEST(StatisticsTest, PeriodTextsFollowTheDatePattern) {
    const struct {
        Period period;
        const char* datePattern;
        const char* text;
    } cases[] = {
        {{PeriodKind::Day, 2025, 3, 1}, "%d.%m.%Y", "01.03.2025"},
        {{PeriodKind::Day, 2025, 3, 1}, "%m.%d.%y", "03.01.25"},
        {{PeriodKind::Month, 2025, 3, 1}, "%d.%m.%Y", "03.2025"},
        {{PeriodKind::Month, 2025, 3, 1}, "%m.%d.%y", "03.25"},
        {{PeriodKind::Month, 2025, 3, 1}, "%Y-%m-%d", "2025-03"},
        {{PeriodKind::Month, 2025, 3, 1}, "%y-%m-%d", "25-03"},
        {{PeriodKind::Week, 2024, 12, 30}, "%d.%m.%Y", "2025-W01"},
        {{PeriodKind::Year, 2025, 1, 1}, "%d.%m.%y", "2025"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(PeriodText(c.period, c.datePattern), c.text);
    }
    EXPECT_EQ(DatePattern("%m.%d.%Y %I:%M %p"), "%m.%d.%Y");
}

TEST(StatisticsTest, CsvFieldsAreQuotedOnlyWhenTheyMustBe) {
    const struct {
        const char* field;
        const char* written;
    } cases[] = {
        {"2025-W09", "2025-W09"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {" padded", "\" padded\""},
    };
    for (const auto& c : cases) {
        std::string out;
        AppendCsvField(out, c.field);
        EXPECT_EQ(out, c.written);
    }
}

TEST(StatisticsTest, CsvLinesAreTheirFieldTextsJoined) {
    const ChartQuantity outdoor5Humidity{ChartQuantity::Humidity, 5};
    const std::vector<Summary> summaries = {
        MadeSummary({PeriodKind::Day, 2025, 3, 1}, IndoorTemperature, 1, 21.3f, 21.3f, 213000),
        MadeSummary({PeriodKind::Day, 2025, 3, 1}, Outdoor1Temperature, 123456, -0.04f, 1e6f, -4800),
        MadeSummary({PeriodKind::Day, 2025, 3, 1}, outdoor5Humidity, 3, 45.5f, 100.0f, 1370000),
        MadeSummary({PeriodKind::Week, 100, 1, 1}, IndoorTemperature, 7, -12.4f, -12.3f, -864500),
        MadeSummary({PeriodKind::Month, 9999, 12, 1}, IndoorHumidity, 31, 0.0f, 9.0f, -31),
        MadeSummary({PeriodKind::Year, 2025, 1, 1}, IndoorTemperature, 4, -40.1f, 60.0f, 5000),
    };
    for (const bool fahrenheit : {false, true}) {
        std::string expected(StatisticsCsvHeader);
        for (const Summary& s : summaries) {
            const std::string fields[] = {PeriodKey(s.period),
                                          QuantityKey(s.quantity),
                                          QuantityUnit(s.quantity, fahrenheit),
                                          std::to_string(s.count),
                                          SummaryValueText(s.min, s.quantity, fahrenheit),
                                          s.minAt.Format("%Y-%m-%dT%H:%M"),
                                          SummaryValueText(s.max, s.quantity, fahrenheit),
                                          s.maxAt.Format("%Y-%m-%dT%H:%M"),
                                          MeanText(s, fahrenheit)};
            for (std::size_t i = 0; i < std::size(fields); ++i) {
                if (i > 0)
                    expected += ',';
                AppendCsvField(expected, fields[i]);
            }
            expected += "\r\n";
        }
        EXPECT_EQ(StatisticsCsv(summaries, fahrenheit), expected) << (fahrenheit ? "°F" : "°C");
    }
}

TEST(StatisticsTest, OddValuesAndLongPeriods) {
    // A value typed in far beyond a sensor's range still counts; a non-finite or absurd one does not.
    const std::vector<CDataset> odd = {
        MakeDataset(2025, 3, 1, 6, 0, 500.0f, 45.0f),
        MakeDataset(2025, 3, 1, 7, 0, std::numeric_limits<float>::quiet_NaN(), 45.0f),
        MakeDataset(2025, 3, 1, 8, 0, std::numeric_limits<float>::infinity(), 45.0f),
        MakeDataset(2025, 3, 1, 9, 0, 1e7f, 45.0f),
        MakeDataset(2025, 3, 1, 10, 0, 20.0f, 45.0f),
        MakeDataset(2025, 3, 1, 11, 0, -450.0f, 45.0f),
    };
    ExpectSummaries(Summarize(odd, PeriodKind::Day),
                    {
                        {"2025-03-01", "indoor_temperature", 3, "-450.0", "2025-03-01 11:00:00", "500.0",
                         "2025-03-01 06:00:00", "23.33"},
                        {"2025-03-01", "indoor_humidity", 6, "45", "2025-03-01 06:00:00", "45",
                         "2025-03-01 06:00:00", "45.00"},
                    });

    // A dataset every minute of a day: far more than the sums gather before they are carried over.
    std::vector<CDataset> minutes;
    for (int i = 0; i < 1440; ++i)
        minutes.push_back(MakeDataset(2025, 3, 2, i / 60, i % 60, float(i % 10) / 10.0f, 50.0f));
    ExpectSummaries(Summarize(minutes, PeriodKind::Day),
                    {
                        {"2025-03-02", "indoor_temperature", 1440, "0.0", "2025-03-02 00:00:00", "0.9",
                         "2025-03-02 00:09:00", "0.45"},
                        {"2025-03-02", "indoor_humidity", 1440, "50", "2025-03-02 00:00:00", "50",
                         "2025-03-02 00:00:00", "50.00"},
                    });
}

namespace {

// The figures of one quantity in one period, added up the plain way.
struct ReferenceFigures {
    std::size_t count = 0;
    float min = 0, max = 0;
    DATE minAt = 0, maxAt = 0;
    std::int64_t sum = 0;
};

std::map<std::pair<Period, std::size_t>, ReferenceFigures>
ReferenceSummaries(const std::vector<CDataset>& datasets, PeriodKind kind, long long fromMinute,
                   long long toMinute) {
    std::map<std::pair<Period, std::size_t>, ReferenceFigures> figures;
    for (const CDataset& d : datasets) {
        if (d.IsInvalid())
            continue;
        const long long minute = std::llround(d.GetDateTime().Value() * 1440.0);
        if (minute < fromMinute || minute > toMinute)
            continue;
        const Period period = *PeriodOf(kind, d.GetDateTime());
        for (std::size_t q = 0; q < StatisticsQuantityCount; ++q) {
            const ChartQuantity& quantity = StatisticsQuantities()[q];
            const bool humidity = quantity.kind == ChartQuantity::Humidity;
            const float v = humidity ? d.GetHumidity(quantity.sensor) : d.GetTemperature(quantity.sensor);
            if (humidity ? (v == HNA || v == HOFL) : (v == NA || v == OFL))
                continue;
            if (!(std::fabs(v) < 1e6f))
                continue;
            const DATE at = d.GetDateTime().Value();
            ReferenceFigures& f = figures[{period, q}];
            if (f.count == 0 || v < f.min || (v == f.min && at < f.minAt)) {
                f.min = v;
                f.minAt = at;
            }
            if (f.count == 0 || v > f.max || (v == f.max && at < f.maxAt)) {
                f.max = v;
                f.maxAt = at;
            }
            f.sum += std::llround(double(v) * 1e4);
            ++f.count;
        }
    }
    return figures;
}

// A random history: mostly in date-time order with runs longer than the accumulator takes at
// once, a stretch out of order when asked, repeated date-times and values, invalid date-times,
// reserved marks and odd values.
std::vector<CDataset> RandomHistory(std::mt19937& random, bool stretchOutOfOrder) {
    const float odd[] = {NA,
                         OFL,
                         HNA,
                         HOFL,
                         500.5f,
                         -1234.5f,
                         99999.9f,
                         2e6f,
                         std::numeric_limits<float>::infinity(),
                         std::numeric_limits<float>::quiet_NaN()};
    const std::size_t size = std::uniform_int_distribution<std::size_t>(0, 3000)(random);
    // Minutes since day 0, starting around some year's end.
    long long minute = 1440LL * std::uniform_int_distribution<long long>(36500, 44000)(random);
    const int step = std::uniform_int_distribution<int>(1, 400)(random);
    std::vector<CDataset> datasets(size);
    for (CDataset& d : datasets) {
        minute += std::uniform_int_distribution<int>(0, step)(random);
        d.SetDateTime(CDateTime(double(minute) / 1440.0));
        for (int s = 0; s < CDataset::SensorCount; ++s) {
            // Tenths in a narrow band, so that ties are common.
            d.SetTemperature(s, float(std::uniform_int_distribution<int>(-30, 30)(random)) / 10.0f);
            d.SetHumidity(s, float(std::uniform_int_distribution<int>(40, 50)(random)));
            if (random() % 50 == 0)
                d.SetTemperature(s, odd[random() % std::size(odd)]);
            if (random() % 50 == 0)
                d.SetHumidity(s, odd[random() % std::size(odd)]);
        }
        if (random() % 200 == 0)
            d.SetDateTime(CDateTime(2000, 13, 1, 0, 0, 0));
    }
    if (size > 10 && stretchOutOfOrder) {
        const std::size_t a = random() % size, b = random() % size;
        std::shuffle(datasets.begin() + long(std::min(a, b)), datasets.begin() + long(std::max(a, b)),
                     random);
    }
    return datasets;
}

} // namespace

// Random histories against the plain reference above: mostly in date-time order with runs longer
// than the accumulator takes at once, stretches out of order, repeated date-times and values,
// invalid date-times, reserved marks, odd values and ranges.
TEST(StatisticsTest, RandomHistoriesMatchAPlainReference) {
    std::mt19937 random(19);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::vector<CDataset> datasets = RandomHistory(random, round % 3 == 1);
        const std::size_t size = datasets.size();
        long long fromMinute = std::numeric_limits<long long>::min();
        long long toMinute = std::numeric_limits<long long>::max();
        StatisticsRange range;
        if (size > 0 && round % 2 == 1) {
            const CDataset& a = datasets[random() % size];
            const CDataset& b = datasets[random() % size];
            if (!a.IsInvalid() && !b.IsInvalid()) {
                fromMinute =
                    std::llround(std::min(a.GetDateTime().Value(), b.GetDateTime().Value()) * 1440.0);
                toMinute = std::llround(std::max(a.GetDateTime().Value(), b.GetDateTime().Value()) * 1440.0);
                range.from = CDateTime(double(fromMinute) / 1440.0);
                range.to = CDateTime(double(toMinute) / 1440.0);
            }
        }
        for (const PeriodKind kind :
             {PeriodKind::Day, PeriodKind::Week, PeriodKind::Month, PeriodKind::Year}) {
            SCOPED_TRACE("period kind " + std::to_string(int(kind)));
            const auto expected = ReferenceSummaries(datasets, kind, fromMinute, toMinute);
            const std::vector<Summary> actual = Summarize(datasets, kind, range);
            // Fed in pieces, as a file is read block by block, the summaries are the same.
            Summarizer pieces(kind, range);
            for (std::size_t at = 0; at < size;) {
                const std::size_t n = std::min<std::size_t>(size - at, 1 + random() % 700);
                pieces.Add(std::span(datasets).subspan(at, n));
                at += n;
            }
            EXPECT_EQ(StatisticsCsv(pieces.Finish(), false), StatisticsCsv(actual, false));
            // Fed in date-time order with the finished periods taken after every piece, as the
            // command reads a file in order, they are the same again.
            std::vector<CDataset> sorted = datasets;
            std::stable_sort(sorted.begin(), sorted.end(), HistoryOrder);
            Summarizer taking(kind, range);
            std::vector<Summary> taken;
            for (std::size_t at = 0; at < size;) {
                const std::size_t n = std::min<std::size_t>(size - at, 1 + random() % 700);
                taking.Add(std::span(sorted).subspan(at, n));
                taking.TakeFinished(taken);
                at += n;
            }
            const std::vector<Summary> rest = taking.Finish();
            taken.insert(taken.end(), rest.begin(), rest.end());
            EXPECT_EQ(StatisticsCsv(taken, false), StatisticsCsv(actual, false));
            ASSERT_EQ(actual.size(), expected.size());
            std::size_t i = 0;
            for (const auto& [key, e] : expected) {
                const Summary& s = actual[i++];
                EXPECT_EQ(s.period, key.first);
                EXPECT_EQ(s.quantity.kind, StatisticsQuantities()[key.second].kind);
                EXPECT_EQ(s.quantity.sensor, StatisticsQuantities()[key.second].sensor);
                EXPECT_EQ(s.count, e.count);
                EXPECT_EQ(s.min, e.min);
                EXPECT_EQ(s.minAt.Value(), e.minAt);
                EXPECT_EQ(s.max, e.max);
                EXPECT_EQ(s.maxAt.Value(), e.maxAt);
                EXPECT_EQ(s.sumTenThousandths, e.sum);
            }
        }
    }
}

// Where the processor takes eight lanes at a time, the figures are those of four at a time, which
// the tests above check on processors without it.
TEST(StatisticsTest, EightLanesAtATimeComeToTheFiguresOfFour) {
    if (!EightLanesAvailable())
        GTEST_SKIP() << "this processor takes four lanes at a time only";
    std::mt19937 random(23);
    const DATE always = std::numeric_limits<DATE>::infinity();
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::vector<CDataset> datasets = RandomHistory(random, round % 3 == 1);
        StatisticsAccumulator four(StatisticsAccumulator::Width::Four);
        StatisticsAccumulator widest(StatisticsAccumulator::Width::Widest);
        for (std::size_t i = 0; i < datasets.size();) {
            if (datasets[i].IsInvalid()) {
                ++i;
                continue;
            }
            const std::span<const CDataset> rest = std::span(datasets).subspan(i);
            const std::size_t taken = four.Add(rest, -always, always);
            ASSERT_EQ(widest.Add(rest, -always, always), taken);
            i += taken;
        }
        for (std::size_t lane = 0; lane < StatisticsAccumulator::Lanes; ++lane) {
            SCOPED_TRACE("lane " + std::to_string(lane));
            EXPECT_EQ(widest.Count(lane), four.Count(lane));
            EXPECT_EQ(widest.SumTenThousandths(lane), four.SumTenThousandths(lane));
            EXPECT_EQ(widest.Min(lane), four.Min(lane));
            EXPECT_EQ(widest.MinAt(lane), four.MinAt(lane));
            EXPECT_EQ(widest.Max(lane), four.Max(lane));
            EXPECT_EQ(widest.MaxAt(lane), four.MaxAt(lane));
        }
    }
}

// A period handed over as finished cannot take more datasets: the caller broke the order, and a
// silently wrong figure would be worse than the failure.
TEST(StatisticsTest, ADatasetInAFinishedPeriodIsRefused) {
    std::vector<CDataset> days(3);
    for (int i = 0; i < 3; ++i) {
        days[std::size_t(i)].SetDateTime(CDateTime(2025, 3, 1 + i, 12, 0, 0));
        days[std::size_t(i)].SetTemperature(0, 20.0f);
    }
    Summarizer summarizer(PeriodKind::Day);
    summarizer.Add(days);
    std::vector<Summary> taken;
    summarizer.TakeFinished(taken);
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[1].period, (Period{PeriodKind::Day, 2025, 3, 2}));
    EXPECT_THROW(summarizer.Add(std::span(days).first(1)), std::logic_error);
    EXPECT_NO_THROW(summarizer.Add(std::span(days).last(1)));
    EXPECT_EQ(summarizer.Finish().size(), 1u);
}
