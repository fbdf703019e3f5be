#pragma once

#include "history/ChartPoints.h"
#include "history/StatisticsAccumulator.h"
#include "station/Dataset.h"

#include <cstddef>
#include <span>
#include <vector>

// What a chart of a time window draws for each quantity: per column of the window the minimum,
// maximum and mean of the measurements that fall into it, cut into runs where there is no data.
// The figures come from the statistics core, one StatisticsAccumulator per column.

struct BandColumn {
    DATE at; // the column's middle
    float min, max;
    double mean;
};

struct BandSeries {
    ChartQuantity quantity;
    std::vector<BandColumn> columns;
    std::vector<std::size_t> runStarts; // index of each run's first column, ascending
};

// What a ChartBandBuilder has gathered so far, to carry on with in a later run.
struct ChartBandState {
    DATE from = 0, to = 0;
    std::vector<LaneFigures> figures; // per column
    std::vector<DATE> latest;         // per column
    DATE previous = 0, shortestInterval = 0;
    bool any = false;
};

class ChartBandBuilder {
public:
    // The window [from, to) in that many columns.
    ChartBandBuilder(DATE from, DATE to, int columns);
    // Carries on where the builder that gave the state stopped.
    explicit ChartBandBuilder(const ChartBandState& state);
    ChartBandState State() const;

    // Adds datasets in date-time order (a history a block at a time); those outside the window
    // or with an invalid date-time are passed over.
    void Add(std::span<const CDataset> datasets);

    DATE From() const { return m_from; }
    DATE To() const { return m_to; }

    // The quantities with at least one measurement in the window, in the order of
    // StatisticsQuantities(). Neighbouring columns with data are joined; a stretch without data
    // longer than three columns and three times the shortest interval between datasets breaks
    // the line.
    std::vector<BandSeries> Series() const;

private:
    DATE m_from, m_to, m_width;
    std::vector<StatisticsAccumulator> m_columns;
    DATE m_previous = 0;
    bool m_any = false;
    DATE m_shortestInterval = 0; // 0 until two datasets came
};
