#include "history/TimeTicks.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr std::array<TimeStep, 30> Steps = {{
    {TimeUnit::Minute, 1},  {TimeUnit::Minute, 2},  {TimeUnit::Minute, 5}, {TimeUnit::Minute, 10},
    {TimeUnit::Minute, 15}, {TimeUnit::Minute, 30}, {TimeUnit::Hour, 1},   {TimeUnit::Hour, 2},
    {TimeUnit::Hour, 3},    {TimeUnit::Hour, 6},    {TimeUnit::Hour, 12},  {TimeUnit::Day, 1},
    {TimeUnit::Day, 2},     {TimeUnit::Week, 1},    {TimeUnit::Month, 1},  {TimeUnit::Month, 2},
    {TimeUnit::Month, 3},   {TimeUnit::Month, 6},   {TimeUnit::Year, 1},   {TimeUnit::Year, 2},
    {TimeUnit::Year, 5},    {TimeUnit::Year, 10},   {TimeUnit::Year, 20},  {TimeUnit::Year, 50},
    {TimeUnit::Year, 100},  {TimeUnit::Year, 200},  {TimeUnit::Year, 500}, {TimeUnit::Year, 1000},
    {TimeUnit::Year, 2000}, {TimeUnit::Year, 5000},
}};

double Days(const TimeStep& step) {
    switch (step.unit) {
    case TimeUnit::Minute:
        return step.every / 1440.0;
    case TimeUnit::Hour:
        return step.every / 24.0;
    case TimeUnit::Day:
        return step.every;
    case TimeUnit::Week:
        return 7.0 * step.every;
    case TimeUnit::Month:
        return 30.436875 * step.every;
    case TimeUnit::Year:
        break;
    }
    return 365.2425 * step.every;
}

// First days of months whose index (year * 12 + month - 1) is a multiple of months, in [from, to].
void MonthTicks(double from, double to, int months, std::vector<DATE>& at) {
    CDateTime::Fields fields;
    if (!CDateTime(FromLinearDays(from)).GetFields(fields))
        return;
    int index = fields.year * 12 + fields.month - 1;
    index = (index + months - 1) / months * months;
    for (;; index += months) {
        CDateTime::Fields first;
        first.year = index / 12;
        first.month = index % 12 + 1;
        first.day = 1;
        if (!IsValidDateFields(first))
            return;
        const double day = LinearDays(DateFromFields(first));
        if (day > to)
            return;
        if (day >= from)
            at.push_back(FromLinearDays(day));
    }
}

// The ticks of a step in [from, to] (linear days), stopping once there are more than limit.
std::vector<DATE> TicksOf(const TimeStep& step, double from, double to, std::size_t limit) {
    std::vector<DATE> at;
    const auto evenly = [&](double first, double width) {
        for (double n = first; n * width <= to && at.size() <= limit; ++n)
            at.push_back(FromLinearDays(n * width));
    };
    switch (step.unit) {
    case TimeUnit::Minute:
    case TimeUnit::Hour:
    case TimeUnit::Day: {
        // Counted in whole steps from 1899-12-30 00:00: every step divides a day, or a day is one.
        const double width = Days(step);
        evenly(std::ceil(from / width - 1e-9), width);
        break;
    }
    case TimeUnit::Week: {
        // 1899-12-30 was a Saturday: Mondays are two days on from a multiple of seven.
        const double first = std::ceil((from - 2) / 7 - 1e-9);
        for (double n = first; n * 7 + 2 <= to && at.size() <= limit; ++n)
            at.push_back(FromLinearDays(n * 7 + 2));
        break;
    }
    case TimeUnit::Month:
        MonthTicks(from, to, step.every, at);
        break;
    case TimeUnit::Year:
        MonthTicks(from, to, 12 * step.every, at);
        break;
    }
    return at;
}

// Removes a field from a date pattern with the separator that joins it to the rest.
std::string WithoutField(std::string pattern, std::string_view field) {
    const std::size_t at = pattern.find(field);
    if (at == std::string::npos)
        return pattern;
    if (at + 2 < pattern.size() && pattern[at + 2] != '%')
        return pattern.erase(at, 3);
    if (at > 0 && pattern[at - 1] != '%')
        return pattern.erase(at - 1, 3);
    return pattern.erase(at, 2);
}

} // namespace

double LinearDays(DATE date) {
    if (date >= 0)
        return date;
    const double day = std::trunc(date);
    return day + (day - date);
}

DATE FromLinearDays(double days) {
    if (days >= 0)
        return days;
    const double day = std::floor(days);
    const double fraction = days - day;
    return fraction == 0 ? day : day - fraction;
}

TimeTicks ChooseTimeTicks(DATE fromDate, DATE toDate, int most) {
    TimeTicks ticks;
    if (!(fromDate <= toDate) || fromDate < CDateTime::MinDate || toDate > CDateTime::MaxDate)
        return ticks;
    const double from = LinearDays(fromDate), to = LinearDays(toDate);
    const std::size_t limit = std::size_t(std::max(1, most));
    for (const TimeStep& step : Steps) {
        // Skip the steps far too fine without counting their ticks.
        if ((to - from) / Days(step) > double(limit) + 2)
            continue;
        ticks.step = step;
        ticks.at = TicksOf(step, from, to, limit);
        if (ticks.at.size() <= limit)
            return ticks;
    }
    return ticks;
}

TimeUnit TickNames(DATE at, const TimeStep& step) {
    CDateTime::Fields fields;
    if (!CDateTime(at).GetFields(fields))
        return step.unit;
    const bool midnight = fields.hour == 0 && fields.minute == 0 && fields.second == 0;
    if ((step.unit == TimeUnit::Minute || step.unit == TimeUnit::Hour) && midnight)
        return TimeUnit::Day;
    if (step.unit == TimeUnit::Month && fields.month == 1 && fields.day == 1 && midnight)
        return TimeUnit::Year;
    return step.unit;
}

std::string TimeTickPattern(TimeUnit unit, std::string_view dateTimePattern, TickYear year) {
    const std::size_t space = dateTimePattern.find(' ');
    std::string date(dateTimePattern.substr(0, space));
    std::string time(space == std::string_view::npos ? std::string_view()
                                                     : dateTimePattern.substr(space + 1));
    if (date.empty())
        date = "%d.%m.%Y";
    switch (unit) {
    case TimeUnit::Minute:
    case TimeUnit::Hour:
        return time.empty() ? "%H:%M" : WithoutField(time, "%S");
    case TimeUnit::Day:
    case TimeUnit::Week:
        if (year == TickYear::Shown)
            return date;
        // "%d.%m.%Y" reads "01.03." without its year: the dot ends the month.
        for (const std::string_view field : {".%Y", ".%y"})
            if (const std::size_t at = date.find(field); at != std::string::npos && at + 3 == date.size())
                return date.erase(at + 1);
        return WithoutField(WithoutField(date, "%Y"), "%y");
    case TimeUnit::Month: {
        if (year == TickYear::Left)
            return "%m";
        // A two-digit year beside the month reads like a day: the full year.
        std::string month = WithoutField(date, "%d");
        if (const std::size_t year = month.find("%y"); year != std::string::npos)
            month.replace(year, 2, "%Y");
        return month;
    }
    case TimeUnit::Year:
        break;
    }
    return "%Y";
}
