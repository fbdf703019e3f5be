#include "ui/ChartBuild.h"

#include "history/TransmittersPresent.h"

#include <algorithm>
#include <cmath>

namespace {

// The same wall-clock time a month or a year earlier; the day is kept inside the month.
DATE MonthsBefore(DATE date, int months) {
    CDateTime::Fields fields;
    if (!CDateTime(date).GetFields(fields))
        return date - months * 30.44;
    int month = fields.year * 12 + (fields.month - 1) - months;
    fields.year = month / 12;
    fields.month = month % 12 + 1;
    static constexpr int Days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (fields.year % 4 == 0 && fields.year % 100 != 0) || fields.year % 400 == 0;
    const int days = fields.month == 2 && !leap ? 28 : Days[fields.month - 1];
    fields.day = std::min(fields.day, days);
    return IsValidDateFields(fields) ? DateFromFields(fields) : date - months * 30.44;
}

DATE RangeStart(DATE last, ChartRange range) {
    switch (range) {
    case ChartRange::LastDay:
        return last - 1;
    case ChartRange::LastWeek:
        return last - 7;
    case ChartRange::LastMonth:
        return MonthsBefore(last, 1);
    case ChartRange::LastYear:
        return MonthsBefore(last, 12);
    case ChartRange::All:
        break;
    }
    return last;
}

} // namespace

bool DailyColumns(DATE from, DATE to, int pixels) {
    return (to - from) / pixels > 1.0 / 12;
}

int ChartBuckets(DATE from, DATE to, int pixels) {
    return DailyColumns(from, to, pixels) ? std::clamp(int(std::ceil(to - from)), 1, pixels) : pixels;
}

ChartBuilt BuildChart(std::span<const CDataset> datasets, const ChartRequest& request) {
    ChartBuilt built;
    built.quantities = ChartQuantities(DisplayedTransmitters(datasets, request.stationTransmitters));
    built.span = HistorySpan(datasets);
    built.from = request.from;
    built.to = request.to;
    // Another file without anything in the user's window: back to the chosen range.
    built.manual =
        request.manual && built.span && !(built.to < built.span->first || built.from > built.span->last);
    if (built.span && !built.manual) {
        const ChartSpan& span = *built.span;
        built.from = request.range == ChartRange::All
                         ? span.first
                         : std::max(span.first, RangeStart(span.last, request.range));
        built.to = span.last;
        if (built.to - built.from < ChartMinimumWidth) {
            const DATE middle = (built.from + built.to) / 2;
            built.from = middle - ChartMinimumWidth / 2;
            built.to = middle + ChartMinimumWidth / 2;
        }
    }
    BuildChartLines(datasets, built.quantities,
                    {built.from, built.to, ChartBuckets(built.from, built.to, request.pixels)}, built.lines);
    return built;
}
