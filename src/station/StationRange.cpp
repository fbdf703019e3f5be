#include "station/StationRange.h"

#include <cmath>

namespace {

// Half a tenth: a stored float like 69.9f lies a hair above or below the decimal value.
constexpr double Tolerance = 0.05;

bool InRange(double value, double min, double max) {
    return std::isfinite(value) && value >= min - Tolerance && value <= max + Tolerance;
}

} // namespace

bool IsStationTemperature(double celsius) {
    return InRange(celsius, StationTemperatureMin, StationTemperatureMax);
}

bool IsStationHumidity(double humidity) {
    return InRange(humidity, StationHumidityMin, StationHumidityMax);
}

bool IsStationDataset(const CDataset& dataset) {
    // The station's years as a span of date values: comparing values spares breaking every
    // record's date into fields when a whole history file is read.
    static const double firstValue = CDateTime(StationFirstYear, 1, 1, 0, 0, 0).Value();
    static const double endValue = CDateTime(StationLastYear + 1, 1, 1, 0, 0, 0).Value();
    const CDateTime& dateTime = dataset.GetDateTime();
    const double value = dateTime.Value();
    if (dateTime.GetStatus() != CDateTime::valid || !(value >= firstValue && value < endValue))
        return false;
    for (int sensor = 0; sensor < CDataset::SensorCount; ++sensor) {
        const float temperature = dataset.GetTemperature(sensor);
        if (temperature != CDataset::TemperatureNotAvailable &&
            temperature != CDataset::TemperatureOverflow && !IsStationTemperature(temperature))
            return false;
        const float humidity = dataset.GetHumidity(sensor);
        if (humidity != CDataset::HumidityNotAvailable && humidity != CDataset::HumidityOverflow &&
            !IsStationHumidity(humidity))
            return false;
    }
    return true;
}
