#include "report/ChartTicks.h"

#include <algorithm>
#include <cmath>

namespace {

struct Step {
    TickUnit unit;
    int count;
    double days; // about how long
};

constexpr Step Steps[] = {
    {TickUnit::Hour, 1, 1.0 / 24}, {TickUnit::Hour, 2, 2.0 / 24},   {TickUnit::Hour, 3, 3.0 / 24},
    {TickUnit::Hour, 6, 6.0 / 24}, {TickUnit::Hour, 12, 12.0 / 24}, {TickUnit::Day, 1, 1},
    {TickUnit::Day, 2, 2},         {TickUnit::Day, 7, 7},           {TickUnit::Month, 1, 30.4},
    {TickUnit::Month, 2, 60.9},    {TickUnit::Month, 3, 91.3},      {TickUnit::Month, 6, 182.6},
};

TimeTick TickAt(DATE at, TickUnit unit) {
    TimeTick tick{at, unit, {}};
    FieldsFromDate(at, tick.fields);
    return tick;
}

DATE DayOf(int year, int month) {
    return DateFromFields({year, month, 1, 0, 0, 0});
}

} // namespace

std::vector<TimeTick> TimeTicks(DATE from, DATE to, int most) {
    std::vector<TimeTick> ticks;
    if (!(to > from) || most < 1)
        return ticks;
    const double span = to - from;
    Step step{TickUnit::Year, 1, 365.25};
    bool found = false;
    for (const Step& candidate : Steps)
        if (span / candidate.days <= most) {
            step = candidate;
            found = true;
            break;
        }
    if (!found)
        for (int years = 1;; years *= 10) {
            for (int factor : {1, 2, 5})
                if (span / (365.25 * years * factor) <= most) {
                    step = {TickUnit::Year, years * factor, 365.25 * years * factor};
                    found = true;
                    break;
                }
            if (found || years > 1000)
                break;
        }

    switch (step.unit) {
    case TickUnit::Hour:
    case TickUnit::Day: {
        const double stepDays = step.unit == TickUnit::Hour ? step.count / 24.0 : step.count;
        // Weeks start on Monday; day 0 of the date count was a Saturday.
        const double origin = step.unit == TickUnit::Day && step.count == 7 ? 2.0 : 0.0;
        for (double k = std::ceil((from - origin) / stepDays - 1e-9);; ++k) {
            const DATE at = origin + k * stepDays;
            if (at > to + 1e-9)
                break;
            // Hour marks at midnight name the day instead.
            const bool midnight = std::fabs(at - std::round(at)) < 1e-9;
            ticks.push_back(TickAt(at, step.unit == TickUnit::Hour && midnight ? TickUnit::Day : step.unit));
        }
        break;
    }
    case TickUnit::Month:
    case TickUnit::Year: {
        CDateTime::Fields first;
        FieldsFromDate(from, first);
        int year = first.year, month = step.unit == TickUnit::Year ? 1 : first.month;
        if (step.unit == TickUnit::Year)
            year -= ((year % step.count) + step.count) % step.count;
        for (;;) {
            const DATE at = DayOf(year, month);
            if (at > to + 1e-9)
                break;
            const bool aligned = step.unit == TickUnit::Year || (month - 1) % step.count == 0;
            if (at >= from - 1e-9 && aligned)
                ticks.push_back(TickAt(at, month == 1 ? TickUnit::Year : TickUnit::Month));
            if (step.unit == TickUnit::Year) {
                year += step.count;
            } else if (++month > 12) {
                month = 1;
                ++year;
            }
        }
        break;
    }
    }
    return ticks;
}

std::vector<double> ValueTicks(double low, double high, int target) {
    if (!(high > low))
        high = low + 1;
    const double rough = (high - low) / std::max(1, target);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power * 10;
    for (double factor : {1.0, 2.0, 5.0})
        if (power * factor >= rough) {
            step = power * factor;
            break;
        }
    std::vector<double> ticks;
    const double first = std::floor(low / step + 1e-9) * step;
    for (double value = first;; value += step) {
        ticks.push_back(std::fabs(value) < step * 1e-9 ? 0.0 : value);
        if (value >= high - step * 1e-9 && ticks.size() >= 2)
            break;
    }
    return ticks;
}

std::string DayMonthPattern(std::string_view datePattern) {
    std::string pattern(datePattern);
    const std::size_t year = pattern.find("%Y");
    if (year == std::string::npos)
        return pattern;
    if (year == 0)
        return pattern.substr(std::min(pattern.size(), std::size_t(3)));
    const bool keepSeparator = pattern[year - 1] == '.';
    pattern.erase(keepSeparator ? year : year - 1, keepSeparator ? 2 : 3);
    return pattern;
}
