#pragma once

#include "station/DateTime.h"

#include <QString>
#include <QtGlobal>

#include <string_view>
#include <unordered_map>

// The chart's date-time axis counts milliseconds since the epoch and labels them in local time;
// station date-times are local wall-clock times. This maps one onto the other so that an axis
// label reads what the table shows, daylight-saving changes included.
class ChartClock {
public:
    qint64 ToMsecs(DATE date);
    DATE FromMsecs(qint64 msecs) const;

private:
    // Local offset from UTC in seconds per local hour, asked of the time zone once per hour.
    std::unordered_map<qint64, int> m_offsets;
};

// OLE Automation date to a plain day count since 1899-12-30 and back: before that day the OLE
// fraction counts forward from midnight, so -1.25 is -0.75 days.
double LinearDays(DATE date);
DATE FromLinearDays(double days);

// A strftime-style pattern of the options (%d %m %Y %y %H %M %S %I %p %%) as a Qt date-time
// format; other text is kept literally.
QString QtDateTimeFormat(std::string_view pattern);
