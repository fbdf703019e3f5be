#pragma once

#include "history/BlockExportWriter.h"
#include "history/ExportLineFormat.h"
#include "station/Dataset.h"

#include <string>
#include <vector>

// The semicolon-separated export: a fixed English header, then one line per dataset with the 13
// column texts, every field in double quotes. Lines end in CR LF on every platform.
extern const char* const ExportHeader;
constexpr const char* ExportLineEnd = "\r\n";

// Appends one dataset's line, line end included: the reference text, built from the column texts.
void AppendExportLine(std::string& out, const CDataset& dataset, const ColumnFormat& format);

// The text format as an export writer.
class TextExportWriter : public BlockExportWriter {
public:
    explicit TextExportWriter(ColumnFormat format);

protected:
    std::string Header() const override;
    std::size_t MaxLineSize() const override;
    char* FormatLine(char* out, const CDataset& dataset) override;

private:
    ExportLineFormatter m_formatter;
};
