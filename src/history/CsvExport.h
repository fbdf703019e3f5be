#pragma once

#include "history/ExportColumns.h"
#include "history/ExportFormatWriter.h"

#include <ostream>
#include <string>
#include <vector>

// Comma-separated values as spreadsheets and data tools read them without options: a header line
// with the units, ISO 8601 date-times, a decimal point, empty fields for missing values, CR LF line
// ends, fields quoted only where they need it.
class CsvExportWriter : public ExportFormatWriter {
public:
    // Writes the header at once; columns for the indoor sensor and outdoor transmitters
    // 1..transmitters.
    CsvExportWriter(std::ostream& out, int transmitters, bool fahrenheit);
    void Add(const CDataset& dataset) override;
    void Finish() override;

private:
    void Flush();

    std::ostream& m_out;
    std::vector<ExportColumn> m_columns;
    bool m_fahrenheit;
    std::string m_buffer;
};

// The field as it stands when it holds no comma, double quote or line break; otherwise in double
// quotes with inner quotes doubled.
std::string CsvField(const std::string& text);
