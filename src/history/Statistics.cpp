#include "history/Statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace {

constexpr double HalfSecond = 0.5 / 86400.0;

// Day 0 of the date count, 1899-12-30, was a Saturday.
int DaysSinceMonday(std::int64_t day) {
    return int(((day + 5) % 7 + 7) % 7);
}

std::int64_t DayNumber(int year, int month, int day) {
    return std::int64_t(DateFromFields({year, month, day, 0, 0, 0}));
}

CDateTime::Fields FieldsOfDay(std::int64_t day) {
    CDateTime::Fields fields;
    FieldsFromDate(double(day), fields);
    return fields;
}

std::int64_t FirstDay(const Period& period) {
    return DayNumber(period.year, period.month, period.day);
}

// The first day of the period after this one.
std::int64_t NextFirstDay(const Period& period) {
    switch (period.kind) {
    case PeriodKind::Day:
        return FirstDay(period) + 1;
    case PeriodKind::Week:
        return FirstDay(period) + 7;
    case PeriodKind::Month:
        return period.month == 12 ? DayNumber(period.year + 1, 1, 1)
                                  : DayNumber(period.year, period.month + 1, 1);
    case PeriodKind::Year:
        break;
    }
    return DayNumber(period.year + 1, 1, 1);
}

struct Accumulator {
    std::size_t count = 0;
    float min = 0, max = 0;
    DATE minAt = 0, maxAt = 0;
    std::int64_t sum = 0;

    void Add(float value, DATE at) {
        if (count == 0 || value < min || (value == min && at < minAt)) {
            min = value;
            minAt = at;
        }
        if (count == 0 || value > max || (value == max && at < maxAt)) {
            max = value;
            maxAt = at;
        }
        // Rounded to the nearest ten-thousandth, half away from zero; a plain cast is much
        // cheaper than a library call a dozen times per dataset.
        const double scaled = double(value) * 1e4;
        sum += std::int64_t(scaled + (scaled >= 0 ? 0.5 : -0.5));
        ++count;
    }
};

struct PeriodAccumulators {
    Period period;
    std::array<Accumulator, StatisticsQuantityCount> quantities;
};

bool InRange(DATE value, const StatisticsRange& range) {
    if (range.from && range.from->GetStatus() == CDateTime::valid && value < range.from->Value() - HalfSecond)
        return false;
    if (range.to && range.to->GetStatus() == CDateTime::valid && value >= range.to->Value() + HalfSecond)
        return false;
    return true;
}

} // namespace

std::optional<Period> PeriodOf(PeriodKind kind, const CDateTime& dateTime) {
    CDateTime::Fields fields;
    if (!dateTime.GetFields(fields))
        return std::nullopt;
    switch (kind) {
    case PeriodKind::Day:
        return Period{kind, fields.year, fields.month, fields.day};
    case PeriodKind::Week: {
        const std::int64_t day = DayNumber(fields.year, fields.month, fields.day);
        const CDateTime::Fields monday = FieldsOfDay(day - DaysSinceMonday(day));
        return Period{kind, monday.year, monday.month, monday.day};
    }
    case PeriodKind::Month:
        return Period{kind, fields.year, fields.month, 1};
    case PeriodKind::Year:
        break;
    }
    return Period{kind, fields.year, 1, 1};
}

IsoWeek IsoWeekOf(const Period& week) {
    const CDateTime::Fields thursday = FieldsOfDay(FirstDay(week) + 3);
    const std::int64_t dayOfYear =
        DayNumber(thursday.year, thursday.month, thursday.day) - DayNumber(thursday.year, 1, 1);
    return {thursday.year, int(dayOfYear / 7 + 1)};
}

const std::array<ChartQuantity, StatisticsQuantityCount>& StatisticsQuantities() {
    static const auto quantities = [] {
        std::array<ChartQuantity, StatisticsQuantityCount> list;
        for (int sensor = 0; sensor < CDataset::SensorCount; ++sensor) {
            list[std::size_t(2 * sensor)] = {ChartQuantity::Temperature, sensor};
            list[std::size_t(2 * sensor + 1)] = {ChartQuantity::Humidity, sensor};
        }
        return list;
    }();
    return quantities;
}

std::vector<Summary> Summarize(std::span<const CDataset> datasets, PeriodKind kind,
                               const StatisticsRange& range) {
    std::vector<PeriodAccumulators> periods;
    std::map<Period, std::size_t> indexOf;
    // The date values of the current period, so that only a dataset in another period needs its
    // calendar fields. Before 1899-12-30 the values do not run in time order; there every dataset
    // is looked up.
    std::size_t current = 0;
    DATE low = std::numeric_limits<DATE>::infinity();
    DATE high = -low;

    for (const CDataset& dataset : datasets) {
        if (dataset.IsInvalid())
            continue;
        const DATE at = dataset.GetDateTime().Value();
        if (!InRange(at, range))
            continue;
        if (!(at >= low && at < high)) {
            const std::optional<Period> period = PeriodOf(kind, dataset.GetDateTime());
            if (!period)
                continue;
            const auto [found, added] = indexOf.try_emplace(*period, periods.size());
            if (added)
                periods.push_back({*period, {}});
            current = found->second;
            const std::int64_t first = FirstDay(*period);
            if (first >= 0) {
                low = double(first) - HalfSecond;
                high = double(NextFirstDay(*period)) - HalfSecond;
            } else {
                low = std::numeric_limits<DATE>::infinity();
                high = -low;
            }
        }
        auto& accumulators = periods[current].quantities;
        for (int sensor = 0; sensor < CDataset::SensorCount; ++sensor) {
            const float temperature = dataset.GetTemperature(sensor);
            if (IsPlottable(ChartQuantity::Temperature, temperature))
                accumulators[std::size_t(2 * sensor)].Add(temperature, at);
            const float humidity = dataset.GetHumidity(sensor);
            if (IsPlottable(ChartQuantity::Humidity, humidity))
                accumulators[std::size_t(2 * sensor + 1)].Add(humidity, at);
        }
    }

    std::sort(periods.begin(), periods.end(),
              [](const PeriodAccumulators& a, const PeriodAccumulators& b) { return a.period < b.period; });
    std::vector<Summary> summaries;
    for (const PeriodAccumulators& period : periods)
        for (std::size_t q = 0; q < StatisticsQuantityCount; ++q) {
            const Accumulator& a = period.quantities[q];
            if (a.count == 0)
                continue;
            summaries.push_back(Summary{period.period, StatisticsQuantities()[q], a.count, a.min, a.max,
                                        CDateTime(a.minAt), CDateTime(a.maxAt), a.sum});
        }
    return summaries;
}
