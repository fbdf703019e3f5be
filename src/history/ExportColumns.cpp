#include "history/ExportColumns.h"

#include <charconv>

std::vector<ExportColumn> ExportColumns(int transmitters) {
    std::vector<ExportColumn> columns{{ExportColumn::Kind::DateTime, 0}};
    for (int sensor = 0; sensor <= transmitters && sensor < CDataset::SensorCount; ++sensor) {
        columns.push_back({ExportColumn::Kind::Temperature, sensor});
        columns.push_back({ExportColumn::Kind::Humidity, sensor});
    }
    return columns;
}

namespace {

std::string SensorWords(int sensor, const char* quantity) {
    return sensor == 0 ? std::string("Indoor ") + quantity
                       : std::string("Outdoor ") + quantity + " " + std::to_string(sensor);
}

} // namespace

std::string ExportColumnTitle(const ExportColumn& column, bool fahrenheit) {
    switch (column.kind) {
    case ExportColumn::Kind::DateTime:
        return "Date Time";
    case ExportColumn::Kind::Temperature:
        return SensorWords(column.sensor, "Temperature") + (fahrenheit ? " (°F)" : " (°C)");
    case ExportColumn::Kind::Humidity:
        break;
    }
    return SensorWords(column.sensor, "Humidity") + " (%)";
}

std::string ExportColumnName(const ExportColumn& column, bool fahrenheit) {
    if (column.kind == ExportColumn::Kind::DateTime)
        return "date_time";
    // Appended piece by piece: g++ 12 at -O3 warns falsely about chained string additions.
    std::string name = column.sensor == 0 ? "indoor" : "outdoor";
    name += column.kind == ExportColumn::Kind::Temperature ? "_temperature" : "_humidity";
    if (column.sensor != 0) {
        name += '_';
        name += std::to_string(column.sensor);
    }
    if (column.kind == ExportColumn::Kind::Temperature)
        name += fahrenheit ? "_f" : "_c";
    else
        name += "_pct";
    return name;
}

std::optional<std::string> IsoDateTime(const CDateTime& dateTime) {
    if (dateTime.GetStatus() != CDateTime::valid)
        return std::nullopt;
    return dateTime.Format("%Y-%m-%dT%H:%M:%S");
}

std::optional<double> TemperatureValue(float celsius, bool fahrenheit) {
    if (celsius == CDataset::TemperatureNotAvailable || celsius == CDataset::TemperatureOverflow)
        return std::nullopt;
    // Parsed from the table's text, so every export rounds exactly as the table shows.
    const std::string text = TemperatureText(celsius, fahrenheit);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<int> HumidityValue(float humidity) {
    if (humidity == CDataset::HumidityNotAvailable || humidity == CDataset::HumidityOverflow)
        return std::nullopt;
    const std::string text = HumidityText(humidity);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}
