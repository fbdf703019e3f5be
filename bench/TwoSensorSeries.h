#pragma once

#include "station/Dataset.h"

#include <cstddef>
#include <vector>

// A history of the indoor sensor and one transmitter every five minutes from 2005-01-17 14:05,
// with values that vary like a station's: what the history file and export benchmarks read.
inline std::vector<CDataset> TwoSensorSeries(std::size_t count) {
    std::vector<CDataset> datasets(count);
    const double start = CDateTime(2005, 1, 17, 14, 5, 0).Value();
    for (std::size_t i = 0; i < count; ++i) {
        CDataset& d = datasets[i];
        d.SetDateTime(CDateTime(start + static_cast<double>(i) * 5 / 1440.0));
        d.SetTemperature(0, 20.0f + static_cast<float>(i % 50) / 10.0f);
        d.SetHumidity(0, static_cast<float>(40 + i % 20));
        d.SetTemperature(1, -5.0f + static_cast<float>(i % 150) / 10.0f);
        d.SetHumidity(1, static_cast<float>(60 + i % 30));
    }
    return datasets;
}
