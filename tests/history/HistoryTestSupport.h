#pragma once

#include "history/HistoryRecord.h"
#include "station/Dataset.h"

#include <cstdint>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

inline CDataset MakeDataset(int year, int month, int day, int hour, int minute, float indoor = 21.5f,
                            float humidity = 45.0f) {
    CDataset dataset;
    dataset.SetDateTime(CDateTime(year, month, day, hour, minute, 0));
    dataset.SetTemperature(0, indoor);
    dataset.SetHumidity(0, humidity);
    return dataset;
}

// n datasets five minutes apart from 2005-01-17 14:05, indoor temperature = index / 10.
inline std::vector<CDataset> Series(int n) {
    std::vector<CDataset> datasets;
    for (int i = 0; i < n; ++i) {
        CDataset dataset = MakeDataset(2005, 1, 17, 14, 5);
        dataset.SetDateTime(CDateTime(dataset.GetDateTime().Value() + i * 5 / 1440.0));
        dataset.SetTemperature(0, static_cast<float>(i) / 10.0f);
        datasets.push_back(dataset);
    }
    return datasets;
}

// The file bytes of the datasets, in order.
inline std::string RecordBytes(const std::vector<CDataset>& datasets) {
    std::string bytes;
    for (const CDataset& dataset : datasets) {
        std::uint8_t record[HistoryRecordSize];
        EncodeHistoryRecord(dataset, record);
        bytes.append(reinterpret_cast<const char*>(record), HistoryRecordSize);
    }
    return bytes;
}

// The number of entries in a folder: a replaced file leaves nothing of its own beside it.
inline std::size_t FilesIn(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}
