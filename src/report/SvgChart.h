#pragma once

#include "report/ChartBands.h"
#include "report/ReportTexts.h"

#include <span>
#include <string>

// A chart as a standalone SVG document: a panel of temperatures above a panel of humidities,
// sharing the time axis; each sensor's band from minimum to maximum with its mean as a line.
// Colours follow the reader's light or dark setting.
struct SvgChartSetup {
    const ReportTexts* texts = nullptr;
    std::string title;       // the chart's title for screen readers
    std::string datePattern; // "%d.%m.%Y"
    bool fahrenheit = false;
};

std::string SvgChart(std::span<const BandSeries> series, DATE from, DATE to, const SvgChartSetup& setup);

// The text with &, <, > and quotes written as entities (HTML and XML alike).
std::string Escaped(std::string_view text);
