#pragma once

#include "history/ChartPoints.h"
#include "station/Dataset.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

// Minimum, maximum and mean of every sensor per day, week, month or year of a history. Pure and
// without a toolkit: the command line and the desktop share it, and a million datasets can be
// measured on their own.

enum class PeriodKind { Day, Week, Month, Year };

// A calendar period of the stored local date-times, named by its first day. Weeks start on
// Monday, so a week's first day may lie in the year before.
struct Period {
    PeriodKind kind = PeriodKind::Day;
    int year = 0, month = 0, day = 0;

    auto operator<=>(const Period&) const = default;
};

// The period of that kind a valid date-time falls in (its calendar fields rounded to the second);
// none for an invalid or unrepresentable one.
std::optional<Period> PeriodOf(PeriodKind kind, const CDateTime& dateTime);

// The ISO 8601 week of a week period's Monday: the year its Thursday falls in, and the week number.
struct IsoWeek {
    int year, week;
};
IsoWeek IsoWeekOf(const Period& week);

// The quantities in the order summaries are listed in: indoor temperature, indoor humidity, then
// temperature and humidity of outdoor transmitters 1 to 5.
constexpr std::size_t StatisticsQuantityCount = 2 * CDataset::SensorCount;
const std::array<ChartQuantity, StatisticsQuantityCount>& StatisticsQuantities();
// A quantity's place in that list.
constexpr std::size_t QuantityIndex(const ChartQuantity& quantity) {
    return std::size_t(2 * quantity.sensor + (quantity.kind == ChartQuantity::Humidity ? 1 : 0));
}

// What the values of one quantity in one period came to. Only measurements count: not-available
// and overflow marks are left out. Ties of the minimum or maximum go to the earliest date-time.
struct Summary {
    Period period;
    ChartQuantity quantity;
    std::size_t count = 0;
    float min = 0, max = 0;
    CDateTime minAt, maxAt;
    // The values' sum in ten-thousandths of a unit, exact: the mean does not depend on the order
    // of summation or on the float representation of a value such as 21.3.
    std::int64_t sumTenThousandths = 0;

    double Mean() const { return count == 0 ? 0.0 : double(sumTenThousandths) / 1e4 / double(count); }
};

// The date-times whose datasets count, both ends included (to the second); an open end has none.
struct StatisticsRange {
    std::optional<CDateTime> from, to;
};

// The summaries of datasets fed in pieces (blocks of a file as they are read), the same as
// Summarize gives for all of them at once, in any order and any division into pieces.
class Summarizer {
public:
    explicit Summarizer(PeriodKind kind, const StatisticsRange& range = {});
    ~Summarizer();
    Summarizer(const Summarizer&) = delete;
    Summarizer& operator=(const Summarizer&) = delete;

    void Add(std::span<const CDataset> datasets);
    // Moves the summaries of the periods before the one of the latest dataset into summaries and
    // forgets them, so that memory does not grow with the periods of datasets added in date-time
    // order. A dataset added later in a period handed over is the caller's fault: std::logic_error.
    void TakeFinished(std::vector<Summary>& summaries);
    // The summaries of everything added; nothing is added after it.
    std::vector<Summary> Finish();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// One summary per period and quantity that has at least one measurement, ordered by period, then
// in the order of StatisticsQuantities(). One pass over the datasets, in any order; datasets with
// an invalid date-time or outside the range are left out. Memory grows with the periods only.
std::vector<Summary> Summarize(std::span<const CDataset> datasets, PeriodKind kind,
                               const StatisticsRange& range = {});
