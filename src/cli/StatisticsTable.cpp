#include "cli/StatisticsTable.h"

#include "cli/AlignedTable.h"
#include "history/StatisticsText.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

constexpr std::array<std::string_view, 8> Titles = {"Period", "Quantity", "Count",  "Min",
                                                    "Min at", "Max",      "Max at", "Mean"};
constexpr std::array<bool, 8> RightAligned = {false, false, true, true, false, true, false, true};

std::size_t DecimalDigits(std::uint64_t value) {
    std::size_t digits = 1;
    for (; value >= 10; value /= 10)
        ++digits;
    return digits;
}

std::string QuantityName(const ChartQuantity& quantity) {
    std::string name = quantity.sensor == 0 ? "Indoor" : "Outdoor " + std::to_string(quantity.sensor);
    return name + (quantity.kind == ChartQuantity::Temperature ? " temperature" : " humidity");
}

} // namespace

StatisticsTable::StatisticsTable(const ColumnFormat& format)
    : m_format(format), m_datePattern(DatePattern(format.dateTimePattern)), m_cells(format) {
    for (const ChartQuantity& quantity : StatisticsQuantities())
        m_names[QuantityIndex(quantity)] = QuantityName(quantity);
    for (const ChartQuantity::Kind kind : {ChartQuantity::Temperature, ChartQuantity::Humidity}) {
        m_units[kind] = ' ';
        m_units[kind] += QuantityUnit({kind, 0}, format.fahrenheit);
        m_unitWidths[kind] = DisplayWidth(m_units[kind]);
    }
    // Room for a row's cells: two date-times and two values at most as long as a whole export line.
    m_row.resize(2 * m_cells.MaxLineSize());
    // Each field of a valid date-time takes a fixed number of characters in any pattern.
    m_validDateTimeWidth = DisplayWidth(CDateTime(2000, 1, 1, 0, 0, 0).Format(format.dateTimePattern));
    for (std::size_t c = 0; c < Columns; ++c)
        m_widths[c] = DisplayWidth(Titles[c]);
}

std::size_t StatisticsTable::ValueWidth(float value, const ChartQuantity& quantity) const {
    if (quantity.kind == ChartQuantity::Temperature) {
        if (const std::optional<int> tenths = m_cells.TemperatureTenths(value))
            return (*tenths < 0 ? 1 : 0) + DecimalDigits(std::uint64_t(std::abs(*tenths) / 10)) + 2;
    } else if (const std::optional<int> whole = ExportLineFormatter::WholeHumidity(value)) {
        return DecimalDigits(std::uint64_t(*whole));
    }
    return DisplayWidth(SummaryValueText(value, quantity, m_format.fahrenheit));
}

std::size_t StatisticsTable::DateTimeWidth(const CDateTime& dateTime) const {
    CDateTime::Fields fields;
    return dateTime.GetFields(fields) ? m_validDateTimeWidth
                                      : DisplayWidth(dateTime.Format(m_format.dateTimePattern));
}

void StatisticsTable::Measure(const Summary& s) {
    // The rows of a period share its label: it is measured once.
    if (s.period != m_measuredPeriod) {
        m_measuredPeriod = s.period;
        m_widths[0] = std::max(m_widths[0], DisplayWidth(PeriodText(s.period, m_datePattern)));
    }
    const std::size_t unit = m_unitWidths[s.quantity.kind];
    std::size_t mean = unit;
    if (const std::optional<std::int64_t> hundredths = MeanHundredths(s, m_format.fahrenheit))
        mean += (*hundredths < 0 ? 1 : 0) + DecimalDigits(std::uint64_t(std::llabs(*hundredths) / 100)) + 3;
    const std::array<std::size_t, Columns> widths = {0,
                                                     DisplayWidth(m_names[QuantityIndex(s.quantity)]),
                                                     DecimalDigits(s.count),
                                                     ValueWidth(s.min, s.quantity) + unit,
                                                     DateTimeWidth(s.minAt),
                                                     ValueWidth(s.max, s.quantity) + unit,
                                                     DateTimeWidth(s.maxAt),
                                                     mean};
    for (std::size_t c = 1; c < Columns; ++c)
        m_widths[c] = std::max(m_widths[c], widths[c]);
}

void StatisticsTable::AppendLine(std::string& out, const std::array<std::string_view, Columns>& cells) const {
    const std::size_t start = out.size();
    for (std::size_t c = 0; c < Columns; ++c) {
        if (c > 0)
            out += "  ";
        AppendPadded(out, cells[c], m_widths[c], RightAligned[c]);
    }
    while (out.size() > start && out.back() == ' ')
        out.pop_back();
    out += '\n';
}

void StatisticsTable::AppendTitles(std::string& out) const {
    AppendLine(out, Titles);
}

char* StatisticsTable::WriteValue(char* out, float value, const ChartQuantity& quantity) const {
    out = quantity.kind == ChartQuantity::Temperature ? m_cells.WriteTemperature(out, value)
                                                      : ExportLineFormatter::WriteHumidity(out, value);
    const std::string& unit = m_units[quantity.kind];
    std::memcpy(out, unit.data(), unit.size());
    return out + unit.size();
}

void StatisticsTable::AppendRow(std::string& out, const Summary& s) {
    if (s.period != m_labelPeriod) {
        m_labelPeriod = s.period;
        m_label = PeriodText(s.period, m_datePattern);
    }
    char* at = m_row.data();
    const auto cell = [&at](char* end) {
        const std::string_view written(at, std::size_t(end - at));
        at = end;
        return written;
    };
    const std::string_view count = cell(std::to_chars(at, at + 24, s.count).ptr);
    const std::string_view min = cell(WriteValue(at, s.min, s.quantity));
    const std::string_view minAt = cell(m_cells.WriteDateTime(at, s.minAt));
    const std::string_view max = cell(WriteValue(at, s.max, s.quantity));
    const std::string_view maxAt = cell(m_cells.WriteDateTime(at, s.maxAt));
    char* meanEnd = at;
    if (const std::optional<std::int64_t> hundredths = MeanHundredths(s, m_format.fahrenheit))
        meanEnd = WriteHundredths(meanEnd, *hundredths);
    const std::string& unit = m_units[s.quantity.kind];
    std::memcpy(meanEnd, unit.data(), unit.size());
    const std::string_view mean = cell(meanEnd + unit.size());
    AppendLine(out, {m_label, m_names[QuantityIndex(s.quantity)], count, min, minAt, max, maxAt, mean});
}
