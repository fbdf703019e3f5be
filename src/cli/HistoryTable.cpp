#include "cli/HistoryTable.h"

#include <algorithm>
#include <vector>

namespace {

// Characters on screen, not bytes: the unit sign is two bytes in UTF-8.
std::size_t DisplayWidth(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void Pad(std::string& line, const std::string& text, std::size_t width, bool right) {
    const std::string fill(width - std::min(width, DisplayWidth(text)), ' ');
    line += right ? fill + text : text + fill;
}

} // namespace

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
    std::vector<std::size_t> widths;
    for (const std::string& title : titles)
        widths.push_back(DisplayWidth(title));
    for (const CDataset& dataset : datasets) {
        auto& row = cells.emplace_back();
        for (std::size_t c = 0; c < columns.size(); ++c) {
            row.push_back(dataset.GetColumnText(columns[c], format));
            widths[c] = std::max(widths[c], DisplayWidth(row.back()));
        }
    }

    std::string out;
    auto emit = [&](const std::vector<std::string>& row) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                line += "  ";
            Pad(line, row[c], widths[c], c > 0);
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line;
        out += '\n';
    };
    emit(titles);
    for (const auto& row : cells)
        emit(row);
    return out;
}
