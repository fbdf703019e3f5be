#pragma once

#include "history/ChartPoints.h"
#include "history/StatisticsAccumulator.h"
#include "station/Dataset.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// What a chart of a time window draws: per pixel column the minimum, maximum and mean of every
// quantity over the datasets that fall into it (through StatisticsAccumulator), and where the
// lines break. It takes the datasets in date-time order a block at a time, so a history too large
// to hold can be charted as it is read, and it carries its progress over to a later run (State).
//
// Gaps: a pause between two consecutive datasets breaks the lines when it is longer than two
// columns (a shorter one would not show) and longer than ChartGapFactor times the usual interval
// around it: the lower median of the (up to) three intervals before and three after the pause.
// Looking only at the neighbourhood works on a stream, follows a station whose interval was
// changed, and is not thrown by a single odd interval (a repeated hour, a manual reading); a pause
// with no interval around it breaks nothing.

// How many times the usual interval between datasets a pause must last to leave a gap in the lines.
constexpr double ChartGapFactor = 4.0;

// A pause longer than two columns, and the intervals around it that decide whether it is a gap.
struct ChartPause {
    static constexpr std::size_t Around = 3;
    std::uint32_t column = 0; // where the lines go on: a column, or the column count for after the window
    DATE length = 0;
    std::array<DATE, 2 * Around> intervals{}; // those before, then those after
    std::uint8_t before = 0, after = 0;
};

// Where a stream of datasets stands: the latest intervals and the nearest datasets on either
// side of the window.
struct ChartStream {
    std::array<DATE, ChartPause::Around> recent{}; // the latest intervals, oldest first
    std::uint8_t recentCount = 0;
    bool any = false, hasBefore = false, hasAfter = false;
    DATE previous = 0; // the latest date-time so far
    CDataset before;   // the last dataset before the window
    CDataset after;    // the first dataset after it
};

// Everything a ChartColumns has gathered, to carry on with in a later run.
struct ChartColumnsState {
    DATE from = 0, to = 0;
    std::uint32_t count = 1;            // the window's columns
    std::vector<std::uint32_t> columns; // those with datasets, in the order their first came
    std::vector<LaneFigures> figures;   // and of each its figures,
    std::vector<DATE> first, latest;    // its earliest and latest date-time
    ChartStream stream;
    std::vector<ChartPause> pauses;
};

class ChartColumns {
public:
    // The window [from, to) in that many columns.
    ChartColumns(DATE from, DATE to, int columns);
    // Carries on where the columns that gave the state stopped.
    explicit ChartColumns(const ChartColumnsState& state);
    ChartColumnsState State() const;
    // Empty again for another window; storage is kept, so reuse costs next to nothing. A column's
    // figures are set up only when its first dataset comes.
    void Reset(DATE from, DATE to, int columns);

    // Adds datasets in date-time order; those with an invalid or unusable date-time are passed
    // over. Those outside the window count only for the intervals and as its nearest neighbours.
    void Add(std::span<const CDataset> datasets);

    DATE From() const { return m_from; }
    DATE To() const { return m_to; }
    std::size_t Count() const { return m_slots.size(); }

    // Each quantity's line: a point per column with datasets, at the middle of their date-times,
    // its mean with the minimum and maximum as the band (a single dataset's point is the dataset
    // itself). A column with datasets but no measurement of the quantity (only not-available or
    // overflow marks) breaks its line, as does a gap. With the neighbours, the nearest dataset
    // on each side outside the window is a point too, so lines run to the window's edges.
    void Lines(std::span<const ChartQuantity> quantities, bool withNeighbours,
               std::vector<ChartLine>& lines) const;

private:
    // The interval since the dataset before: a pause to decide on, an interval around the
    // pauses still deciding, one of the latest.
    void Note(DATE at);
    // Notes the datasets of a run inside one column after its first: only the intervals next to
    // a pause and the latest matter, so a long run costs no more than a short one.
    void NoteRun(std::span<const CDataset> run);
    bool IsGap(const ChartPause& pause) const;
    std::size_t ColumnOf(DATE at) const;

    struct Used {
        StatisticsAccumulator figures;
        DATE first;
        std::uint32_t column;
    };
    static constexpr std::uint32_t None = ~std::uint32_t(0);
    // The figures of the column with that number, which must have datasets.
    const Used& UsedColumn(std::size_t column) const { return m_used[m_slots[column]]; }

    DATE m_from = 0, m_to = 0, m_width = 0;
    std::vector<std::uint32_t> m_slots; // per column: its place in m_used, or None
    std::vector<Used> m_used;           // the columns with datasets
    ChartStream m_stream;
    std::vector<ChartPause> m_pauses;
};
