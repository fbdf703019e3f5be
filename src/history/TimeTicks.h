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

// The unit a single tick names on an axis that marks calendar boundaries as it passes them: a
// minute or hour tick at midnight names its day, a month tick on the first of January its year.
TimeUnit TickNames(DATE at, const TimeStep& step);

// Whether a date label carries its year, or leaves it to the axis's own year ticks.
enum class TickYear { Shown, Left };

// The strftime-style pattern (as CDateTime::Format takes it) that labels ticks of a step, from the
// user's date-time pattern ("date time", e.g. "%d.%m.%Y %H:%M"): the time without seconds below a
// day, the date for days and weeks, month and year for months, the year for years. With the year
// left out, a day is day and month ("%d.%m.", keeping the dot of a German date) and a month its number.
std::string TimeTickPattern(TimeUnit unit, std::string_view dateTimePattern, TickYear year = TickYear::Shown);
