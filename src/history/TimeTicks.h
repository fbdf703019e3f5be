#pragma once

#include "station/DateTime.h"

#include <string>
#include <string_view>
#include <vector>

// Where a time axis puts its labelled ticks: on round calendar times (whole minutes, hours,
// midnights, Mondays, first days of months or years), as many as fit, and the pattern that labels
// them. Pure, so every chart, on the screen or in a file, shares it.

// OLE Automation date to a plain day count since 1899-12-30 and back: before that day the OLE
// fraction counts forward from midnight, so -1.25 is -0.75 days. Time axes are straight lines of these.
double LinearDays(DATE date);
DATE FromLinearDays(double days);

enum class TimeUnit { Minute, Hour, Day, Week, Month, Year };

struct TimeStep {
    TimeUnit unit = TimeUnit::Day;
    int every = 1;
    bool operator==(const TimeStep&) const = default;
};

struct TimeTicks {
    TimeStep step;
    std::vector<DATE> at; // ascending, inside [from, to]
};

// The finest step from 1 minute up to 5000 years that puts no more than most ticks in [from, to],
// and its ticks. Date-times are station wall-clock times: no daylight-saving shift. No ticks for
// an empty, reversed or unrepresentable window.
TimeTicks ChooseTimeTicks(DATE from, DATE to, int most);

// The strftime-style pattern (as CDateTime::Format takes it) that labels ticks of a step, from the
// user's date-time pattern ("date time", e.g. "%d.%m.%Y %H:%M"): the time without seconds below a
// day, the date for days and weeks, month and year for months, the year for years.
std::string TimeTickPattern(TimeUnit unit, std::string_view dateTimePattern);
