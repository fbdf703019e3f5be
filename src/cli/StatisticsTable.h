#pragma once

#include "history/ExportLineFormat.h"
#include "history/Statistics.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The summaries as the aligned table of the command line, written a part at a time. Every
// summary is measured first: its columns' widths follow from the digits its figures take, not
// from their texts, so each row is formatted only once, when it is written. The text is the one
// the general aligned table gives for the same cells.
class StatisticsTable {
public:
    explicit StatisticsTable(const ColumnFormat& format);

    // Widens the columns to hold the summary's row.
    void Measure(const Summary& summary);
    // The titles' line, and one summary's row, in the columns measured so far.
    void AppendTitles(std::string& out) const;
    void AppendRow(std::string& out, const Summary& summary);

private:
    static constexpr std::size_t Columns = 8;

    std::size_t ValueWidth(float value, const ChartQuantity& quantity) const;
    std::size_t DateTimeWidth(const CDateTime& dateTime) const;
    char* WriteValue(char* out, float value, const ChartQuantity& quantity) const;
    void AppendLine(std::string& out, const std::array<std::string_view, Columns>& cells) const;

    ColumnFormat m_format;
    std::string m_datePattern;
    ExportLineFormatter m_cells; // dates and values in the options' formats
    std::array<std::string, StatisticsQuantityCount> m_names;
    std::array<std::string, 2> m_units; // " °C" and " %", after a value
    std::array<std::size_t, 2> m_unitWidths;
    std::size_t m_validDateTimeWidth;
    std::array<std::size_t, Columns> m_widths;
    std::optional<Period> m_measuredPeriod;
    std::optional<Period> m_labelPeriod;
    std::string m_label;     // of m_labelPeriod
    std::vector<char> m_row; // the row's cells, unpadded
};
