#include "station/DateTime.h"

#include <cmath>
#include <gtest/gtest.h>
#include <iomanip>
#include <limits>

struct DateCase {
    CDateTime::Fields fields;
    DATE value;
};

TEST(DateTime, CalendarFieldsToDayCountAndBack) {
    const DateCase cases[] = {
        {{1899, 12, 30, 0, 0, 0}, 0.0},
        {{1899, 12, 30, 6, 0, 0}, 0.25},
        {{1899, 12, 29, 0, 0, 0}, -1.0},
        {{1899, 12, 29, 6, 0, 0}, -1.25}, // negative days keep the time as a positive fraction
        {{1899, 12, 28, 18, 0, 0}, -2.75},
        {{1900, 1, 1, 0, 0, 0}, 2.0},
        {{1900, 3, 1, 0, 0, 0}, 61.0}, // 1900 is no leap year
        {{2000, 2, 29, 0, 0, 0}, 36585.0},
        {{2005, 1, 17, 14, 5, 0}, 38369.586805555555},
        {{100, 1, 1, 0, 0, 0}, -657434.0},
        {{9999, 12, 31, 0, 0, 0}, 2958465.0},
    };
    for (const DateCase& c : cases) {
        EXPECT_NEAR(DateFromFields(c.fields), c.value, 1e-9) << c.value;
        CDateTime::Fields back;
        ASSERT_TRUE(FieldsFromDate(c.value, back)) << c.value;
        EXPECT_EQ(back, c.fields) << c.value;
    }
}

TEST(DateTime, RejectsFieldsOutOfRangeInsteadOfCarrying) {
    const CDateTime::Fields bad[] = {
        {2005, 13, 1, 0, 0, 0}, {2005, 0, 1, 0, 0, 0},    {2005, 2, 29, 0, 0, 0}, {2005, 4, 31, 0, 0, 0},
        {2005, 1, 32, 0, 0, 0}, {2005, 1, 0, 0, 0, 0},    {2005, 1, 1, 24, 0, 0}, {2005, 1, 1, 0, 60, 0},
        {2005, 1, 1, 0, 0, 60}, {2005, 1515, 1, 0, 0, 0}, {99, 1, 1, 0, 0, 0},    {10000, 1, 1, 0, 0, 0},
    };
    for (const auto& f : bad) {
        CDateTime dt;
        dt.SetDateTime(f.year, f.month, f.day, f.hour, f.minute, f.second);
        EXPECT_EQ(dt.GetStatus(), CDateTime::invalid) << f.year << "-" << f.month << "-" << f.day;
        EXPECT_EQ(dt.Format("%d.%m.%Y"), "Invalid DateTime");
    }
    CDateTime leap(2004, 2, 29, 23, 59, 59);
    EXPECT_EQ(leap.GetStatus(), CDateTime::valid);
}

TEST(DateTime, StatusRulesOfComparison) {
    CDateTime a(2005, 1, 17, 14, 35, 0), b(2005, 1, 17, 14, 40, 0);
    CDateTime invalid1, invalid2, null1, null2;
    invalid1.SetStatus(CDateTime::invalid);
    invalid2.SetStatus(CDateTime::invalid);
    null1.SetStatus(CDateTime::null);
    null2.SetStatus(CDateTime::null);

    EXPECT_TRUE(a == CDateTime(2005, 1, 17, 14, 35, 0));
    EXPECT_TRUE(a < b && b > a && a <= b && b >= a && !(a > b));
    EXPECT_FALSE(invalid1 == invalid2);
    EXPECT_TRUE(null1 == null2);
    EXPECT_FALSE(a < invalid1 || invalid1 < a || a > invalid1 || null1 < a);
    EXPECT_FALSE(a <= invalid1);
    EXPECT_TRUE(null1 <= null2);

    CDateTime assigned;
    assigned.SetStatus(CDateTime::invalid);
    assigned = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(assigned.GetStatus(), CDateTime::valid); // assignment makes it valid whatever the value
    EXPECT_EQ(assigned.Format("%d"), "Invalid DateTime");
    EXPECT_EQ(null1.Format("%d"), "");
    EXPECT_EQ(null1.LogText(), "");
}

TEST(DateTime, FormatsThePatternsOfTheOptions) {
    const CDateTime afternoon(2005, 1, 17, 14, 5, 0), midnight(2005, 1, 7, 0, 30, 0),
        noon(2099, 12, 31, 12, 0, 0);
    EXPECT_EQ(afternoon.Format("%d.%m.%Y %H:%M"), "17.01.2005 14:05");
    EXPECT_EQ(afternoon.Format("%Y-%m-%d %I:%M %p"), "2005-01-17 02:05 PM");
    EXPECT_EQ(midnight.Format("%m.%d.%y %I:%M %p"), "01.07.05 12:30 AM");
    EXPECT_EQ(noon.Format("%y-%m-%d %I:%M %p"), "99-12-31 12:00 PM");
    EXPECT_EQ(afternoon.LogText(), "2005-01-17 14:05:00");
    EXPECT_EQ(CDateTime(-1.25).LogText(), "1899-12-29 06:00:00");
    EXPECT_EQ(afternoon.Format("100%% %q"), "100% %q");
}

TEST(DateTime, RoundsToTheNearestSecond) {
    CDateTime::Fields f;
    ASSERT_TRUE(FieldsFromDate(0.9999999999, f)); // rounds up into the next day
    EXPECT_EQ(f, (CDateTime::Fields{1899, 12, 31, 0, 0, 0}));
    ASSERT_TRUE(FieldsFromDate(-1.9999999999, f)); // day -1 at 24:00 is day 0 at 00:00
    EXPECT_EQ(f, (CDateTime::Fields{1899, 12, 30, 0, 0, 0}));
    EXPECT_FALSE(FieldsFromDate(std::numeric_limits<double>::infinity(), f));
    EXPECT_FALSE(FieldsFromDate(1e12, f));

    // Half a second and the doubles on either side of it, before and after the epoch: the time
    // of day is the fraction's seconds rounded half away from zero.
    for (const double day : {38000.0, -1000.0})
        for (int halves = 1; halves < 2 * 86400; halves += 2 * 997) {
            const double at = day + (day < 0 ? -1 : 1) * (halves / 2.0) / 86400.0;
            for (const double value : {std::nextafter(at, -1e9), at, std::nextafter(at, 1e9)}) {
                const long long expected =
                    std::llround(std::fabs(value - std::trunc(value)) * 86400.0) % 86400;
                ASSERT_TRUE(FieldsFromDate(value, f));
                EXPECT_EQ(f.hour * 3600 + f.minute * 60 + f.second, expected)
                    << std::setprecision(17) << value;
            }
        }
}
