#include "station/StationRange.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// Half a tenth: a stored float like 69.9f lies a hair above or below the decimal value.
constexpr double Tolerance = 0.05;

// NaN and the infinities fail the comparisons.
constexpr bool InRange(double value, double min, double max) {
    return value >= min - Tolerance && value <= max + Tolerance;
}

// The floats whose double value lies in a range: the same test in float arithmetic.
float LowestFloatAtLeast(double bound) {
    float f = static_cast<float>(bound);
    if (static_cast<double>(f) < bound)
        f = std::nextafter(f, INFINITY);
    return f;
}
float HighestFloatAtMost(double bound) {
    float f = static_cast<float>(bound);
    if (static_cast<double>(f) > bound)
        f = std::nextafter(f, -INFINITY);
    return f;
}

using Float4 = float __attribute__((vector_size(16)));
using Int4 = std::int32_t __attribute__((vector_size(16)));

// A dataset's twelve values in three groups of four, as they lie in memory (CDataset::Values()):
// temperatures 0 to 3; temperatures 4 and 5 with humidities 0 and 1; humidities 2 to 5. What
// each lane accepts.
struct LaneLimits {
    Float4 low[3], high[3], notAvailable[3], overflow[3];
};

LaneLimits MakeLaneLimits() {
    const float temperatureLow = LowestFloatAtLeast(StationTemperatureMin - Tolerance);
    const float temperatureHigh = HighestFloatAtMost(StationTemperatureMax + Tolerance);
    const float humidityLow = LowestFloatAtLeast(StationHumidityMin - Tolerance);
    const float humidityHigh = HighestFloatAtMost(StationHumidityMax + Tolerance);
    LaneLimits limits{};
    for (int lane = 0; lane < 12; ++lane) {
        const bool humidity = lane >= CDataset::SensorCount;
        limits.low[lane / 4][lane % 4] = humidity ? humidityLow : temperatureLow;
        limits.high[lane / 4][lane % 4] = humidity ? humidityHigh : temperatureHigh;
        limits.notAvailable[lane / 4][lane % 4] =
            humidity ? CDataset::HumidityNotAvailable : CDataset::TemperatureNotAvailable;
        limits.overflow[lane / 4][lane % 4] =
            humidity ? CDataset::HumidityOverflow : CDataset::TemperatureOverflow;
    }
    return limits;
}

// The station's years as a span of date values: comparing values spares breaking every record's
// date into fields when a whole history file is read.
struct DatasetLimits {
    double firstValue, endValue;
    LaneLimits lanes;
};

const DatasetLimits& StationLimits() {
    static const DatasetLimits limits = {CDateTime(StationFirstYear, 1, 1, 0, 0, 0).Value(),
                                         CDateTime(StationLastYear + 1, 1, 1, 0, 0, 0).Value(),
                                         MakeLaneLimits()};
    return limits;
}

inline bool IsWithin(const DatasetLimits& limits, const CDataset& dataset) {
    const CDateTime& dateTime = dataset.GetDateTime();
    const double value = dateTime.Value();
    if (dateTime.GetStatus() != CDateTime::valid || !(value >= limits.firstValue && value < limits.endValue))
        return false;
    // The twelve values four at a time: a file read checks every record.
    Int4 plausible = ~Int4{};
    for (int group = 0; group < 3; ++group) {
        Float4 v;
        std::memcpy(&v, dataset.Values() + 4 * group, sizeof v);
        plausible &= (v == limits.lanes.notAvailable[group]) | (v == limits.lanes.overflow[group]) |
                     ((v >= limits.lanes.low[group]) & (v <= limits.lanes.high[group]));
    }
    std::uint64_t words[2];
    std::memcpy(words, &plausible, sizeof words);
    return (words[0] & words[1]) == ~std::uint64_t{0};
}

} // namespace

bool IsStationTemperature(double celsius) {
    return InRange(celsius, StationTemperatureMin, StationTemperatureMax);
}

bool IsStationHumidity(double humidity) {
    return InRange(humidity, StationHumidityMin, StationHumidityMax);
}

bool IsStationDataset(const CDataset& dataset) {
    return IsWithin(StationLimits(), dataset);
}

std::size_t CountNonStationDatasets(std::span<const CDataset> datasets) {
    const DatasetLimits& limits = StationLimits();
    std::size_t count = 0;
    for (const CDataset& dataset : datasets)
        count += IsWithin(limits, dataset) ? 0 : 1;
    return count;
}

int MarkDamagedValuesMissing(CDataset& dataset) {
    int replaced = 0;
    for (int sensor = 0; sensor < CDataset::SensorCount; ++sensor) {
        const float t = dataset.GetTemperature(sensor);
        if (t != CDataset::TemperatureNotAvailable && t != CDataset::TemperatureOverflow &&
            !IsStationTemperature(t)) {
            dataset.SetTemperature(sensor, CDataset::TemperatureNotAvailable);
            ++replaced;
        }
        const float h = dataset.GetHumidity(sensor);
        if (h != CDataset::HumidityNotAvailable && h != CDataset::HumidityOverflow && !IsStationHumidity(h)) {
            dataset.SetHumidity(sensor, CDataset::HumidityNotAvailable);
            ++replaced;
        }
    }
    return replaced;
}

bool IsStationYear(const CDateTime& dateTime) {
    CDateTime::Fields fields;
    return dateTime.GetFields(fields) && fields.year >= StationFirstYear && fields.year <= StationLastYear;
}
