#pragma once

#include "history/ChartPoints.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// Language text keys of the chart.
namespace ChartText {
constexpr int IndoorTemperature = 100200;
constexpr int OutdoorTemperature = 100201; // "%d" stands for the transmitter number
constexpr int IndoorHumidity = 100202;
constexpr int OutdoorHumidity = 100203; // "%d" stands for the transmitter number
constexpr int TemperatureAxis = 100204; // "%s" stands for the unit
constexpr int HumidityAxis = 100205;
constexpr int Ranges = 100206;       // day;week;month;year;all, then the tool tip
constexpr int WholeHistory = 100207; // with a tool tip
constexpr int Save = 100208;         // with a tool tip
constexpr int PngFiles = 100209;
constexpr int SvgFiles = 100210;
constexpr int NoData = 100211;
constexpr int Range = 100212;
constexpr int SaveFailed = 100213; // "%s" stands for the file
constexpr int Hint = 100214;
} // namespace ChartText

// The chart's texts in one language, read from its text file in one go. A missing text is empty;
// a missing series name falls back to a neutral one so that the legend stays readable.
struct ChartTexts {
    QString indoorTemperature, outdoorTemperature, indoorHumidity, outdoorHumidity;
    QString temperatureAxis, humidityAxis;
    QStringList ranges;
    QString rangesTip;
    QString wholeHistory, wholeHistoryTip;
    QString save, saveTip;
    QString pngFiles, svgFiles;
    QString noData, range, saveFailed, hint;
    QString unit; // °C or °F, from the table's texts

    static ChartTexts Load(std::uint16_t language, bool fahrenheit);

    QString SeriesName(const ChartQuantity& quantity) const;
    QString TemperatureAxisTitle() const;
    QString SaveFailedText(const QString& file) const;
};
