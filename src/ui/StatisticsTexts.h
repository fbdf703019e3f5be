#pragma once

#include "ui/ChartTexts.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// Language text keys of the statistics view.
namespace StatisticsText {
constexpr int Period = 100300;
constexpr int Periods = 100301; // day;week;month;year, then the tool tip
constexpr int From = 100302;    // with a tool tip
constexpr int To = 100303;      // with a tool tip
constexpr int Columns = 100304; // the column titles
constexpr int NoData = 100305;
constexpr int CsvFiles = 100306;
constexpr int SaveFailed = 100307; // "%s" stands for the file
constexpr int Computing = 100308;
} // namespace StatisticsText

// The statistics view's texts in one language. The measurements are named as the chart names
// its lines; a missing text falls back to English so that the table stays readable.
struct StatisticsTexts {
    QString period;
    QStringList periods;
    QString periodsTip;
    QString from, fromTip, to, toTip;
    QStringList columns;
    QString noData, csvFiles, saveFailed, computing;
    ChartTexts chart;

    static StatisticsTexts Load(std::uint16_t language, bool fahrenheit);

    QString SaveFailedText(const QString& file) const;
};
