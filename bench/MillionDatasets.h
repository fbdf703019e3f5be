#pragma once

#include "station/Dataset.h"

#include <cstddef>
#include <vector>

// A million datasets of five transmitters every five minutes from 2005-01-17 14:05 (about nine and a
// half years); every 997th outdoor 3 reading is not available. Made once per program.
constexpr std::size_t MillionDatasetCount = 1'000'000;

inline const std::vector<CDataset>& MillionDatasets() {
    static const std::vector<CDataset> datasets = [] {
        std::vector<CDataset> d(MillionDatasetCount);
        const double start = CDateTime(2005, 1, 17, 14, 5, 0).Value();
        for (std::size_t i = 0; i < MillionDatasetCount; ++i) {
            d[i].SetDateTime(CDateTime(start + static_cast<double>(i) * 5 / 1440.0));
            for (int s = 0; s < CDataset::SensorCount; ++s) {
                d[i].SetTemperature(
                    s, static_cast<float>((i * 7 + static_cast<std::size_t>(s) * 13) % 400) / 10.0f - 10);
                d[i].SetHumidity(s, static_cast<float>(30 + (i + static_cast<std::size_t>(s)) % 60));
            }
            if (i % 997 == 0)
                d[i].SetTemperature(3, CDataset::TemperatureNotAvailable);
        }
        return d;
    }();
    return datasets;
}

// The baseline of the benchmarks: one plain pass that reads every dataset's date-time and values.
inline double SumOfEveryValue(const std::vector<CDataset>& datasets) {
    double sum = 0;
    for (const CDataset& d : datasets) {
        sum += d.GetDateTime().Value();
        for (int s = 0; s < CDataset::SensorCount; ++s)
            sum += d.GetTemperature(s) + d.GetHumidity(s);
    }
    return sum;
}
