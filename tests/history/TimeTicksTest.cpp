#include "history/TimeTicks.h"
#include "history/ValueTicks.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

DATE At(int year, int month, int day, int hour = 0, int minute = 0) {
    return CDateTime(year, month, day, hour, minute, 0).Value();
}

std::string Text(DATE date) {
    return CDateTime(date).Format("%Y-%m-%d %H:%M");
}

} // namespace

TEST(TimeTicks, RoundCalendarTimesAsManyAsFit) {
    const struct {
        const char* name;
        DATE from, to;
        int most;
        TimeStep step;
        std::size_t count;
        const char *first, *last;
    } cases[] = {
        {"minutes",
         At(2024, 3, 14, 10, 3),
         At(2024, 3, 14, 10, 48),
         6,
         {TimeUnit::Minute, 10},
         4,
         "2024-03-14 10:10",
         "2024-03-14 10:40"},
        {"a day in hours",
         At(2024, 3, 14),
         At(2024, 3, 15),
         12,
         {TimeUnit::Hour, 3},
         9,
         "2024-03-14 00:00",
         "2024-03-15 00:00"},
        {"a week in days",
         At(2024, 3, 11, 12),
         At(2024, 3, 18, 12),
         10,
         {TimeUnit::Day, 1},
         7,
         "2024-03-12 00:00",
         "2024-03-18 00:00"},
        {"a month on Mondays",
         At(2024, 3, 1),
         At(2024, 3, 31),
         6,
         {TimeUnit::Week, 1},
         4,
         "2024-03-04 00:00",
         "2024-03-25 00:00"},
        {"a year in months",
         At(2024, 1, 1),
         At(2025, 1, 1),
         12,
         {TimeUnit::Month, 2},
         7,
         "2024-01-01 00:00",
         "2025-01-01 00:00"},
        {"a decade in years",
         At(2015, 6, 1),
         At(2025, 6, 1),
         8,
         {TimeUnit::Year, 2},
         5,
         "2016-01-01 00:00",
         "2024-01-01 00:00"},
        {"the day before the epoch, where the fraction runs backwards",
         At(1899, 12, 29),
         At(1899, 12, 30),
         5,
         {TimeUnit::Hour, 6},
         5,
         "1899-12-29 00:00",
         "1899-12-30 00:00"},
    };
    for (const auto& c : cases) {
        const TimeTicks ticks = ChooseTimeTicks(c.from, c.to, c.most);
        EXPECT_EQ(ticks.step, c.step) << c.name;
        ASSERT_EQ(ticks.at.size(), c.count) << c.name;
        EXPECT_EQ(Text(ticks.at.front()), c.first) << c.name;
        EXPECT_EQ(Text(ticks.at.back()), c.last) << c.name;
        if (c.step.unit == TimeUnit::Hour) {
            EXPECT_EQ(Text(ticks.at[1]).substr(11), c.step.every == 3 ? "03:00" : "06:00") << c.name;
        }
    }
}

TEST(TimeTicks, LinearDaysRunStraightThroughTheEpoch) {
    const struct {
        DATE date;
        double linear;
    } cases[] = {{At(1899, 12, 29, 6), -0.75},
                 {At(1899, 12, 29), -1},
                 {At(1899, 12, 30, 12), 0.5},
                 {At(2024, 3, 14, 6), 45365.25}};
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(LinearDays(c.date), c.linear) << Text(c.date);
        EXPECT_DOUBLE_EQ(FromLinearDays(c.linear), c.date) << Text(c.date);
    }
}

TEST(TimeTicks, NoTicksForAnUnusableWindow) {
    EXPECT_TRUE(ChooseTimeTicks(At(2024, 3, 2), At(2024, 3, 1), 10).at.empty());
    EXPECT_TRUE(ChooseTimeTicks(std::nan(""), At(2024, 3, 1), 10).at.empty());
    EXPECT_TRUE(ChooseTimeTicks(-1e9, At(2024, 3, 1), 10).at.empty());
    // Centuries of history still get a handful of ticks, quickly.
    EXPECT_LE(ChooseTimeTicks(CDateTime::MinDate, CDateTime::MaxDate, 8).at.size(), 8u);
}

TEST(TimeTicks, LabelPatternsFromTheUsersDateTimeFormat) {
    const struct {
        const char* format;
        TimeUnit unit;
        const char* pattern;
    } cases[] = {
        {"%d.%m.%Y %H:%M", TimeUnit::Hour, "%H:%M"},       {"%d.%m.%Y %H:%M:%S", TimeUnit::Minute, "%H:%M"},
        {"%m.%d.%y %I:%M %p", TimeUnit::Hour, "%I:%M %p"}, {"%d.%m.%Y %H:%M", TimeUnit::Day, "%d.%m.%Y"},
        {"%Y-%m-%d %H:%M", TimeUnit::Week, "%Y-%m-%d"},    {"%d.%m.%Y %H:%M", TimeUnit::Month, "%m.%Y"},
        {"%Y-%m-%d %H:%M", TimeUnit::Month, "%Y-%m"},      {"%m.%d.%y %H:%M", TimeUnit::Month, "%m.%Y"},
        {"%d.%m.%y %H:%M", TimeUnit::Year, "%Y"},          {"%d.%m.%Y", TimeUnit::Hour, "%H:%M"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TimeTickPattern(c.unit, c.format), c.pattern) << c.format << " " << int(c.unit);

    // Beside year ticks of its own, an axis labels days by day and month only.
    const struct {
        const char* format;
        TimeUnit unit;
        const char* pattern;
    } withoutYear[] = {
        {"%d.%m.%Y", TimeUnit::Day, "%d.%m."}, {"%Y-%m-%d", TimeUnit::Day, "%m-%d"},
        {"%m/%d/%Y", TimeUnit::Week, "%m/%d"}, {"%d.%m.%y %H:%M", TimeUnit::Day, "%d.%m."},
        {"%d.%m.", TimeUnit::Day, "%d.%m."},   {"%d.%m.%Y", TimeUnit::Month, "%m"},
        {"%d.%m.%Y", TimeUnit::Hour, "%H:%M"}, {"%d.%m.%Y", TimeUnit::Year, "%Y"},
    };
    for (const auto& c : withoutYear)
        EXPECT_EQ(TimeTickPattern(c.unit, c.format, TickYear::Left), c.pattern)
            << c.format << " " << int(c.unit);
}

TEST(TimeTicks, CalendarBoundariesNameTheCoarserUnit) {
    const struct {
        DATE at;
        TimeStep step;
        TimeUnit names;
    } cases[] = {
        {At(2025, 3, 2), {TimeUnit::Hour, 3}, TimeUnit::Day},
        {At(2025, 3, 2, 3), {TimeUnit::Hour, 3}, TimeUnit::Hour},
        {At(2025, 3, 2), {TimeUnit::Minute, 30}, TimeUnit::Day},
        {At(2025, 1, 1), {TimeUnit::Month, 2}, TimeUnit::Year},
        {At(2025, 3, 1), {TimeUnit::Month, 2}, TimeUnit::Month},
        // Days and weeks stay days on the first of January; years stay years.
        {At(2025, 1, 1), {TimeUnit::Day, 1}, TimeUnit::Day},
        {At(2024, 1, 1), {TimeUnit::Week, 1}, TimeUnit::Week},
        {At(2024, 1, 1), {TimeUnit::Year, 2}, TimeUnit::Year},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TickNames(c.at, c.step), c.names) << Text(c.at) << " " << int(c.step.unit);
}

TEST(ValueTicks, RoundStepsOverTheRange) {
    const struct {
        double low, high;
        int most;
        double tickLow, tickHigh, step;
        int decimals;
    } cases[] = {
        {0.3, 9.7, 6, 0, 10, 2, 0},  {-3.2, 27.9, 8, -5, 30, 5, 0}, {20, 20, 5, 19.5, 20.5, 0.5, 1},
        {35, 98, 5, 20, 100, 20, 0}, {9.7, 0.3, 6, 0, 10, 2, 0},    {0.31, 0.38, 4, 0.3, 0.38, 0.02, 2},
    };
    for (const auto& c : cases) {
        const ValueTicks ticks = ChooseValueTicks(c.low, c.high, c.most);
        EXPECT_DOUBLE_EQ(ticks.low, c.tickLow) << c.low << ".." << c.high;
        EXPECT_DOUBLE_EQ(ticks.high, c.tickHigh) << c.low << ".." << c.high;
        EXPECT_DOUBLE_EQ(ticks.step, c.step) << c.low << ".." << c.high;
        EXPECT_EQ(ticks.Decimals(), c.decimals) << c.low << ".." << c.high;
        EXPECT_DOUBLE_EQ(ticks.At().front(), ticks.low);
        EXPECT_DOUBLE_EQ(ticks.At().back(), ticks.high);
    }
}
