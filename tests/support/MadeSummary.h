#pragma once

#include "history/Statistics.h"
#include "station/DateTime.h"

#include <cstddef>
#include <cstdint>

// A period's summary with the given figures; its minimum at 06:35:00 and its maximum at 23:59:59
// of the period's first day, so a test sees two date-times of different widths.
inline Summary MadeSummary(Period period, ChartQuantity quantity, std::size_t count, float min, float max,
                           std::int64_t sumTenThousandths) {
    Summary s;
    s.period = period;
    s.quantity = quantity;
    s.count = count;
    s.min = min;
    s.max = max;
    s.minAt = CDateTime(period.year, period.month, period.day, 6, 35, 0);
    s.maxAt = CDateTime(period.year, period.month, period.day, 23, 59, 59);
    s.sumTenThousandths = sumTenThousandths;
    return s;
}
