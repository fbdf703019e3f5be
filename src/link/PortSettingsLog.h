#pragma once

#include "platform/PortSettings.h"

// Writes the port's settings as the three settings log lines (level 30), in the order DCB,
// COMMTIMEOUTS, COMMPROP, under the field names of the first design: the line settings as they
// map onto those fields, the timeouts as set (reads and writes return at once: all zero), the
// driver's facts where a field has a counterpart and zero elsewhere.
void LogPortSettings(const PortSettings& settings);
