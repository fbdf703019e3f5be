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
    const CDateTime& dateTime = dataset.GetDateTime();
    CDateTime::Fields fields;
    if (dateTime.GetStatus() != CDateTime::valid || !std::isfinite(dateTime.Value()) ||
        !dateTime.GetFields(fields) || fields.year < StationFirstYear || fields.year > StationLastYear)
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
