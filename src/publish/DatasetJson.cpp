#include "publish/DatasetJson.h"

#include "history/ChartPoints.h"
#include "history/ExportColumns.h"
#include "history/StatisticsText.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

void AppendValue(std::string& out, const ChartQuantity& quantity, const CDataset& dataset) {
    const float value = quantity.ValueOf(dataset);
    if (quantity.kind == ChartQuantity::Temperature) {
        const auto celsius = TemperatureValue(value, false);
        if (!celsius) {
            out += "null";
            return;
        }
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", *celsius);
        out += text;
        return;
    }
    const auto percent = HumidityValue(value);
    out += percent ? std::to_string(*percent) : "null";
}

} // namespace

std::optional<std::string> IsoTimeWithOffset(const CDateTime& dateTime, int utcOffsetSeconds) {
    auto text = IsoDateTime(dateTime);
    if (!text)
        return std::nullopt;
    const int minutes = std::abs(utcOffsetSeconds) / 60;
    char offset[8];
    std::snprintf(offset, sizeof offset, "%c%02d:%02d", utcOffsetSeconds < 0 ? '-' : '+', minutes / 60 % 100,
                  minutes % 60);
    return *text + offset;
}

int LocalUtcOffsetSeconds(const CDateTime& dateTime) {
    CDateTime::Fields fields;
    if (dateTime.GetStatus() != CDateTime::valid || !dateTime.GetFields(fields))
        return 0;
    std::tm local{};
    local.tm_year = fields.year - 1900;
    local.tm_mon = fields.month - 1;
    local.tm_mday = fields.day;
    local.tm_hour = fields.hour;
    local.tm_min = fields.minute;
    local.tm_sec = fields.second;
    local.tm_isdst = -1; // let the time zone decide whether summer time held then
    if (std::mktime(&local) == static_cast<std::time_t>(-1))
        return 0;
    return static_cast<int>(local.tm_gmtoff);
}

std::string DatasetJson(const CDataset& dataset, int transmitters, int utcOffsetSeconds) {
    std::string out = "{\"time\":";
    const auto time = IsoTimeWithOffset(dataset.GetDateTime(), utcOffsetSeconds);
    out += time ? "\"" + *time + "\"" : "null";
    for (int sensor = 0; sensor <= transmitters && sensor < CDataset::SensorCount; ++sensor)
        for (const auto kind : {ChartQuantity::Temperature, ChartQuantity::Humidity}) {
            const ChartQuantity quantity{kind, sensor};
            out += ",\"" + QuantityKey(quantity) + "\":";
            AppendValue(out, quantity, dataset);
        }
    out += '}';
    return out;
}
