#pragma once

#include "station/Dataset.h"

#include <optional>
#include <string>

// A dataset as the JSON the state and archive topics carry:
//   {"time":"2026-12-08T14:35:00+01:00","indoor_temperature":21.5,"indoor_humidity":45,
//    "outdoor1_temperature":null,...}
// The time is the station's local time with the machine's UTC offset at that moment; values are
// in °C and % whatever the display shows, a missing value is null. Indoor and outdoor
// transmitters 1..transmitters are present.
std::string DatasetJson(const CDataset& dataset, int transmitters, int utcOffsetSeconds);

// "2026-12-08T14:35:00+01:00"; nothing for an invalid date-time.
std::optional<std::string> IsoTimeWithOffset(const CDateTime& dateTime, int utcOffsetSeconds);

// The machine's UTC offset at a local date-time (summer time counted as the system's time zone
// has it); 0 for a date-time the system cannot place.
int LocalUtcOffsetSeconds(const CDateTime& dateTime);
