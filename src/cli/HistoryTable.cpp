#include "cli/HistoryTable.h"

#include "cli/AlignedTable.h"

#include <algorithm>
#include <vector>

std::string FormatHistoryTable(std::span<const CDataset> datasets, const ColumnFormat& format,
                               int transmitters) {
    transmitters = std::clamp(transmitters, 0, CDataset::SensorCount - 1);
    const std::string unit = format.fahrenheit ? "°F" : "°C";
    std::vector<int> columns{dcDate};
    std::vector<std::string> titles{"Date"};
    for (int sensor = 0; sensor <= transmitters; ++sensor) {
        const std::string name = sensor == 0 ? "Indoor" : "Outdoor " + std::to_string(sensor);
        columns.push_back(dcIndoorTemperature + 2 * sensor);
        titles.push_back(name + " " + unit);
        columns.push_back(dcIndoorHumidity + 2 * sensor);
        titles.push_back(name + " %");
    }

    std::vector<std::vector<std::string>> cells;
    cells.reserve(datasets.size());
    for (const CDataset& dataset : datasets) {
        auto& row = cells.emplace_back();
        for (const int column : columns)
            row.push_back(dataset.GetColumnText(column, format));
    }
    std::vector<bool> rightAligned(columns.size(), true);
    rightAligned[0] = false; // the date-time
    return FormatAlignedTable(titles, cells, rightAligned);
}
