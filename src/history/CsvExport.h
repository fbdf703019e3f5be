#pragma once

#include "history/BlockExportWriter.h"
#include "history/ExportColumns.h"
#include "history/ExportLineFormat.h"

#include <string>
#include <vector>

// Comma-separated values as spreadsheets and data tools read them without options: a header line
// with the units, ISO 8601 date-times, a decimal point, "OFL" where a sensor's range overflowed,
// empty fields for missing values, CR LF line ends, fields quoted only where they need it. The
// digits are written straight into the block, as the text export writes them.
class CsvExportWriter : public BlockExportWriter {
public:
    // Columns for the indoor sensor and outdoor transmitters 1..transmitters.
    CsvExportWriter(int transmitters, bool fahrenheit);

protected:
    std::string Header() const override;
    std::size_t MaxLineSize() const override;
    char* FormatLine(char* out, const CDataset& dataset) override;

private:
    std::vector<ExportColumn> m_columns;
    bool m_fahrenheit;
    ExportLineFormatter m_values;
};
