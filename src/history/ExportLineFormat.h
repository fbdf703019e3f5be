#pragma once

#include "station/Dataset.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Writes export lines straight into a character buffer. The text is the same as AppendExportLine
// gives, but the date pattern is parsed once and the common values are written with integer
// digit code instead of a string operation per character; rare values (damaged records,
// numbers too large for the digit code) take the general column texts.
class ExportLineFormatter {
public:
    explicit ExportLineFormatter(const ColumnFormat& format);

    // The most bytes one line can take, line end included.
    std::size_t MaxLineSize() const { return m_maxLineSize; }
    // Writes one dataset's line, line end included, at `out`, which has room for MaxLineSize()
    // bytes; returns the end of what was written.
    char* Write(char* out, const CDataset& dataset);

    // The pieces of a line, each as the column text writes it (marks "OFL" and "---" included).
    char* WriteDateTime(char* out, const CDateTime& dateTime);
    char* WriteTemperature(char* out, float celsius) const;
    static char* WriteHumidity(char* out, float humidity);
    // A temperature in tenths of the unit as its text shows it (cut towards zero), and a
    // humidity as a whole number, for values the digit code writes; none for the marks and for
    // values left to the general texts.
    std::optional<int> TemperatureTenths(float celsius) const;
    static std::optional<int> WholeHumidity(float humidity);

private:
    // A field of the date-time pattern, and where its digits go in the date-time's text.
    struct Field {
        char conversion;
        std::size_t offset;
    };

    void FillDateFields(int year, int month, int day);

    ColumnFormat m_format;
    // The text of a valid date-time: the pattern's literals in place and its fields filled, the
    // date's for m_day, the time's for the date-time written last. Every field of a valid
    // date-time has a fixed number of characters.
    std::string m_dateTime;
    std::vector<Field> m_dateFields, m_timeFields;
    std::int64_t m_day = 0;
    bool m_dayFilled = false;
    bool m_dayValid = false; // its year has four digits
    std::size_t m_maxLineSize = 0;
    std::string m_scratch; // for the general path
};
