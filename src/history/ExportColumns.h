#pragma once

#include "station/Dataset.h"

#include <optional>
#include <string>
#include <vector>

// The columns of the machine-readable exports (CSV, SQLite): the date-time, then temperature and
// humidity of the indoor sensor and of outdoor transmitters 1..transmitters.
struct ExportColumn {
    enum class Kind { DateTime, Temperature, Humidity };
    Kind kind;
    int sensor; // 0 indoor, 1..5 outdoor; unused for the date-time
};

std::vector<ExportColumn> ExportColumns(int transmitters);

// "Indoor Temperature (°C)", "Outdoor Humidity 2 (%)", "Date Time" (for spreadsheets).
std::string ExportColumnTitle(const ExportColumn& column, bool fahrenheit);
// "indoor_temperature_c", "outdoor_humidity_2_pct", "date_time" (for databases).
std::string ExportColumnName(const ExportColumn& column, bool fahrenheit);

// "2026-12-08T14:35:00"; nothing for an invalid date-time.
std::optional<std::string> IsoDateTime(const CDateTime& dateTime);
// The value as the table shows it, in the unit asked for; nothing when not available or overflow.
std::optional<double> TemperatureValue(float celsius, bool fahrenheit);
std::optional<int> HumidityValue(float humidity);
