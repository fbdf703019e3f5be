#include "history/TransmittersPresent.h"

namespace {

bool HasValue(const CDataset& dataset, int sensor) {
    return dataset.GetTemperature(sensor) != CDataset::TemperatureNotAvailable ||
           dataset.GetHumidity(sensor) != CDataset::HumidityNotAvailable;
}

} // namespace

int TransmittersWithValues(std::span<const CDataset> datasets) {
    int highest = 0;
    for (const CDataset& dataset : datasets)
        for (int sensor = CDataset::SensorCount - 1; sensor > highest; --sensor)
            if (HasValue(dataset, sensor)) {
                highest = sensor;
                break;
            }
    return highest;
}

int DisplayedTransmitters(std::span<const CDataset> datasets, int stationCount) {
    if (!datasets.empty())
        return TransmittersWithValues(datasets);
    return stationCount >= 0 && stationCount <= CDataset::SensorCount - 1 ? stationCount : 0;
}
