#pragma once

#include "station/Dataset.h"

#include <cstddef>
#include <span>

// The values a station can record: its display shows temperatures from -30.0 to 69.9 °C and
// humidities from 0 to 99 %, its clock two-digit years (2000 to 2099). Anything else in a history
// file is damage or a mistyped correction.
constexpr double StationTemperatureMin = -30.0;
constexpr double StationTemperatureMax = 69.9;
constexpr double StationHumidityMin = 0.0;
constexpr double StationHumidityMax = 99.0;
constexpr int StationFirstYear = 2000;
constexpr int StationLastYear = 2099;

// Whether a value (°C, %) lies in the station's range, to a tenth; the reserved not-available and
// overflow marks are not values.
bool IsStationTemperature(double celsius);
bool IsStationHumidity(double humidity);
// Whether a dataset could come from a station: a valid date-time in the station's years, every
// temperature and humidity in range or one of the reserved marks.
bool IsStationDataset(const CDataset& dataset);
// How many of the datasets IsStationDataset refuses; a whole file's read checks every record.
std::size_t CountNonStationDatasets(std::span<const CDataset> datasets);

// Replaces every temperature and humidity no station records (a damaged digit) with the
// not-available mark; returns how many it replaced.
int MarkDamagedValuesMissing(CDataset& dataset);
// Whether a valid date-time lies in the station's years.
bool IsStationYear(const CDateTime& dateTime);
