#pragma once

#include "history/ChartPoints.h"
#include "station/Dataset.h"

#include <optional>
#include <span>
#include <vector>

// What the chart shows, chosen and built from the displayed history in one go: the series of the
// transmitters the history holds, the window, and each series' line. Without a toolkit and pure,
// so it runs on the chart's worker thread and is tested on its own.

enum class ChartRange { LastDay, LastWeek, LastMonth, LastYear, All };

// Narrowest window, in days.
constexpr double ChartMinimumWidth = 1.0 / 48;

struct ChartRequest {
    ChartRange range = ChartRange::LastWeek;
    bool manual = false;   // the window below is the user's, kept while it shows some of the history
    DATE from = 0, to = 1; // the window
    int pixels = 200;      // the plots' width
    int stationTransmitters = 0;
};

struct ChartBuilt {
    std::vector<ChartQuantity> quantities;
    std::optional<ChartSpan> span; // none: nothing to chart
    DATE from = 0, to = 1;
    bool manual = false;
    std::vector<ChartLine> lines; // one per quantity
};

ChartBuilt BuildChart(std::span<const CDataset> datasets, const ChartRequest& request);

// The columns the datasets are reduced to: one per pixel, or where a pixel would hold more than a
// couple of hours, whole days (the means of a few hours would zigzag with the course of the day;
// a day's column shows the day's range).
bool DailyColumns(DATE from, DATE to, int pixels);
int ChartBuckets(DATE from, DATE to, int pixels);
