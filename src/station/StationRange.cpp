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

// A dataset's twelve values in three groups of four, as they lie in memory: temperatures 0 to
// 3; temperatures 4 and 5 with humidities 0 and 1; humidities 2 to 5. What each lane accepts.
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
    static const LaneLimits limits = MakeLaneLimits();
    const CDateTime& dateTime = dataset.GetDateTime();
    const double value = dateTime.Value();
    if (dateTime.GetStatus() != CDateTime::valid || !(value >= firstValue && value < endValue))
        return false;
    // The twelve values four at a time: a file read checks every record.
    const auto t = [&](int sensor) { return dataset.GetTemperature(sensor); };
    const auto h = [&](int sensor) { return dataset.GetHumidity(sensor); };
    const Float4 values[3] = {{t(0), t(1), t(2), t(3)}, {t(4), t(5), h(0), h(1)}, {h(2), h(3), h(4), h(5)}};
    Int4 plausible = ~Int4{};
    for (int group = 0; group < 3; ++group) {
        const Float4 v = values[group];
        plausible &= (v == limits.notAvailable[group]) | (v == limits.overflow[group]) |
                     ((v >= limits.low[group]) & (v <= limits.high[group]));
    }
    std::uint64_t words[2];
    std::memcpy(words, &plausible, sizeof words);
    return (words[0] & words[1]) == ~std::uint64_t{0};
}
