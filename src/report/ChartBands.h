#pragma once

#include "history/ChartColumns.h"
#include "station/Dataset.h"

#include <cstddef>
#include <vector>

// What a chart of a time window draws for each quantity: per column of the window the minimum,
// maximum and mean of the measurements that fall into it, cut into runs where there is no data.

struct BandColumn {
    DATE at; // the middle of the column's datasets
    float min, max;
    double mean;
};

struct BandSeries {
    ChartQuantity quantity;
    std::vector<BandColumn> columns;
    std::vector<std::size_t> runStarts; // index of each run's first column, ascending
};

// The quantities with at least one measurement in the columns' window, in the order of
// StatisticsQuantities().
std::vector<BandSeries> BandsOf(const ChartColumns& columns);
