#pragma once

#include "station/DateTime.h"

#include <string>
#include <string_view>
#include <vector>

// Where a chart's axes get their marks: at whole hours, days, months or years on the time axis
// and at round numbers on a value axis.

enum class TickUnit { Hour, Day, Month, Year };

struct TimeTick {
    DATE at;
    TickUnit unit;
    CDateTime::Fields fields;
};

// The marks of the first step (1, 2, 3, 6 or 12 hours, 1, 2 or 7 days with weeks on Mondays,
// 1, 2, 3 or 6 months, 1, 2, 5, 10... years) that puts at most `most` of them into [from, to].
std::vector<TimeTick> TimeTicks(DATE from, DATE to, int most);

// Round values (1, 2 or 5 times a power of ten apart) from at most `low` to at least `high`,
// about `target` steps; never fewer than two.
std::vector<double> ValueTicks(double low, double high, int target);

// The day and month of a date pattern, without the year ("%d.%m.%Y" -> "%d.%m.",
// "%Y-%m-%d" -> "%m-%d", "%m/%d/%Y" -> "%m/%d").
std::string DayMonthPattern(std::string_view datePattern);
