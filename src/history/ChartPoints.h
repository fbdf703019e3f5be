#pragma once

#include "station/Dataset.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The points a chart draws for a history: each plotted quantity reduced to what the pixels of the
// shown time window can display. Pure and without a toolkit, so a million datasets can be
// measured and tested on their own.

// One plotted value of a dataset: a sensor's temperature (°C) or humidity (%).
struct ChartQuantity {
    enum Kind : std::uint8_t { Temperature, Humidity };
    Kind kind = Temperature;
    int sensor = 0; // 0 indoor, 1..5 the outdoor transmitters

    float ValueOf(const CDataset& dataset) const {
        return kind == Temperature ? dataset.GetTemperature(sensor) : dataset.GetHumidity(sensor);
    }
    bool operator==(const ChartQuantity&) const = default;
};

// Whether a value is a measurement: not the not-available or overflow mark of its kind, finite
// and not absurdly large (the statistics count the same values).
inline bool IsPlottable(ChartQuantity::Kind kind, float value) {
    if (kind == ChartQuantity::Temperature) {
        if (value == CDataset::TemperatureNotAvailable || value == CDataset::TemperatureOverflow)
            return false;
    } else if (value == CDataset::HumidityNotAvailable || value == CDataset::HumidityOverflow) {
        return false;
    }
    return std::fabs(value) < CDataset::NoMeasurementFrom;
}

// A plotted value: one dataset's (low and high equal the value), or the mean of the datasets that
// share a pixel column, with their minimum and maximum as a band around it.
struct ChartPoint {
    DATE x;
    float y;
    float low;
    float high;
    bool operator==(const ChartPoint&) const = default;
};

// A quantity's points in time order, cut into runs: a line is drawn inside a run, a gap is left
// between runs (where the station reported no value or an overflow, or recorded nothing for much
// longer than its usual interval).
struct ChartLine {
    std::vector<ChartPoint> points;
    std::vector<std::size_t> runStarts; // index of each run's first point, ascending

    std::size_t RunCount() const { return runStarts.size(); }
    std::span<const ChartPoint> Run(std::size_t run) const;
    void Clear();
    // Appends to the current run, or starts a run after a break.
    void Add(DATE x, float y) { Add({x, y, y, y}); }
    void Add(const ChartPoint& point);
    // The next point starts a new run.
    void Break() { m_broken = true; }

private:
    bool m_broken = true;
};

// The time window shown and its width in pixels (one bucket per pixel column).
struct ChartWindow {
    DATE from = 0;
    DATE to = 0;
    int buckets = 1;
};

// The lines of the quantities for the datasets of a history (in the store's order: valid
// date-times ascending first) in the window, one column per bucket, as ChartColumns draws them
// with the nearest dataset on each side outside the window.
std::vector<ChartLine> BuildChartLines(std::span<const CDataset> datasets,
                                       std::span<const ChartQuantity> quantities, const ChartWindow& window);
// As above, reusing the lines' storage (one per quantity; resized when the count differs).
void BuildChartLines(std::span<const CDataset> datasets, std::span<const ChartQuantity> quantities,
                     const ChartWindow& window, std::vector<ChartLine>& lines);

// First and last plottable date-time of a history, none when it has no dataset with a valid,
// representable date-time.
struct ChartSpan {
    DATE first;
    DATE last;
};
std::optional<ChartSpan> HistorySpan(std::span<const CDataset> datasets);

// The quantities a chart of a station with that transmitter count shows: indoor and each outdoor
// temperature, then indoor and each outdoor humidity. A count outside 0..5 (6: none read yet)
// shows the indoor sensor only.
std::vector<ChartQuantity> ChartQuantities(int transmitters);
