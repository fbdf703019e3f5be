#include "history/Statistics.h"

#include "history/StatisticsAccumulator.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <iterator>
#include <limits>
#include <map>
#include <stdexcept>

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

struct PeriodAccumulator {
    Period period;
    StatisticsAccumulator values;
};

// A deque: periods are added one at a time while a file streams, and their figures never move.
using Periods = std::deque<PeriodAccumulator>;

// Where a period's figures are, added at the end when it is new. While the periods came in calendar
// order, the list is that index; the first one to come out of order starts the map.
std::size_t IndexOfPeriod(const Period& period, Periods& periods, std::map<Period, std::size_t>& indexOf) {
    const auto byPeriod = [](const PeriodAccumulator& a, const Period& b) { return a.period < b; };
    if (indexOf.empty()) {
        if (periods.empty() || periods.back().period < period) {
            periods.push_back({period, StatisticsAccumulator()});
            return periods.size() - 1;
        }
        const auto known = std::lower_bound(periods.begin(), periods.end(), period, byPeriod);
        if (known->period == period)
            return std::size_t(known - periods.begin());
        for (std::size_t i = 0; i < periods.size(); ++i)
            indexOf.emplace_hint(indexOf.end(), periods[i].period, i);
    }
    const auto [found, added] = indexOf.try_emplace(period, periods.size());
    if (added)
        periods.push_back({period, StatisticsAccumulator()});
    return found->second;
}

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

struct Summarizer::State {
    PeriodKind kind;
    StatisticsRange range;
    Periods periods;
    std::map<Period, std::size_t> indexOf;
    // The date values of the current period, so that only a dataset in another period needs its
    // calendar fields. Before 1899-12-30 the values do not run in time order; there every dataset
    // is looked up.
    std::size_t current = 0;
    DATE low = std::numeric_limits<DATE>::infinity();
    DATE high = -std::numeric_limits<DATE>::infinity();
    // The last period handed over by TakeFinished.
    std::optional<Period> taken;
};

Summarizer::Summarizer(PeriodKind kind, const StatisticsRange& range) : m_state(std::make_unique<State>()) {
    m_state->kind = kind;
    m_state->range = range;
}

namespace {

void AppendSummaries(const PeriodAccumulator& period, std::vector<Summary>& summaries) {
    const StatisticsAccumulator& a = period.values;
    for (const ChartQuantity& quantity : StatisticsQuantities()) {
        const std::size_t lane =
            StatisticsAccumulator::LaneOf(quantity.kind == ChartQuantity::Humidity, quantity.sensor);
        if (a.Count(lane) != 0)
            summaries.push_back(Summary{period.period, quantity, a.Count(lane), a.Min(lane), a.Max(lane),
                                        CDateTime(a.MinAt(lane)), CDateTime(a.MaxAt(lane)),
                                        a.SumTenThousandths(lane)});
    }
}

} // namespace

Summarizer::~Summarizer() = default;

void Summarizer::Add(std::span<const CDataset> datasets) {
    State& s = *m_state;
    const StatisticsRange& range = s.range;
    for (std::size_t i = 0; i < datasets.size();) {
        const CDataset& dataset = datasets[i];
        const DATE at = dataset.GetDateTime().Value();
        if (dataset.IsInvalid() || !InRange(at, range)) {
            ++i;
            continue;
        }
        if (!(at >= s.low && at < s.high)) {
            const std::optional<Period> period = PeriodOf(s.kind, dataset.GetDateTime());
            if (!period) {
                ++i;
                continue;
            }
            if (s.taken && *period <= *s.taken)
                throw std::logic_error("statistics: a dataset came after its period was finished");
            s.current = IndexOfPeriod(*period, s.periods, s.indexOf);
            const std::int64_t first = FirstDay(*period);
            if (first >= 0) {
                s.low = double(first) - HalfSecond;
                s.high = double(NextFirstDay(*period)) - HalfSecond;
            } else {
                s.low = std::numeric_limits<DATE>::infinity();
                s.high = -s.low;
            }
        }
        // The datasets that follow in the same period and inside the range go in as one run.
        DATE runLow = s.low, runHigh = s.high;
        if (range.from && range.from->GetStatus() == CDateTime::valid)
            runLow = std::max(runLow, range.from->Value() - HalfSecond);
        if (range.to && range.to->GetStatus() == CDateTime::valid)
            runHigh = std::min(runHigh, range.to->Value() + HalfSecond);
        i += s.periods[s.current].values.Add(datasets.subspan(i), runLow, runHigh);
    }
}

std::vector<Summary> Summarizer::Finish() {
    Periods& periods = m_state->periods;
    const auto byPeriod = [](const PeriodAccumulator& a, const PeriodAccumulator& b) {
        return a.period < b.period;
    };
    if (!std::is_sorted(periods.begin(), periods.end(), byPeriod))
        std::sort(periods.begin(), periods.end(), byPeriod);
    std::size_t rows = 0;
    for (const PeriodAccumulator& period : periods)
        for (std::size_t lane = 0; lane < StatisticsAccumulator::Lanes; ++lane)
            rows += period.values.Count(lane) != 0 ? 1 : 0;
    std::vector<Summary> summaries;
    summaries.reserve(rows);
    for (const PeriodAccumulator& period : periods)
        AppendSummaries(period, summaries);
    return summaries;
}

void Summarizer::TakeFinished(std::vector<Summary>& summaries) {
    State& s = *m_state;
    if (!s.indexOf.empty() || s.current == 0)
        return;
    for (std::size_t i = 0; i < s.current; ++i)
        AppendSummaries(s.periods[i], summaries);
    s.taken = s.periods[s.current - 1].period;
    s.periods.erase(s.periods.begin(), s.periods.begin() + std::ptrdiff_t(s.current));
    s.current = 0;
}

std::vector<Summary> Summarize(std::span<const CDataset> datasets, PeriodKind kind,
                               const StatisticsRange& range) {
    Summarizer summarizer(kind, range);
    summarizer.Add(datasets);
    return summarizer.Finish();
}
