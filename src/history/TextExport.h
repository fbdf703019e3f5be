#pragma once

#include "history/ExportLineFormat.h"
#include "history/HistoryExport.h"
#include "station/Dataset.h"

#include <string>
#include <vector>

// The semicolon-separated export: a fixed English header, then one line per dataset with the 13
// column texts, every field in double quotes. Lines end in CR LF on every platform.
extern const char* const ExportHeader;
constexpr const char* ExportLineEnd = "\r\n";

// Appends one dataset's line, line end included: the reference text, built from the column texts.
void AppendExportLine(std::string& out, const CDataset& dataset, const ColumnFormat& format);

// The text format as an export writer: lines are formatted straight into a block buffer and
// written in large blocks to the file descriptor.
class TextExportWriter : public ExportWriter {
public:
    explicit TextExportWriter(ColumnFormat format);
    ~TextExportWriter() override;

    // Writes to a descriptor that stays open (a new export file, standard output).
    HistoryOutcome Open(int fd) override;
    bool Write(const CDataset& dataset) override;
    HistoryOutcome Close() override;

private:
    bool Flush();
    void Put(const char* text, std::size_t size);

    ExportLineFormatter m_formatter;
    std::vector<char> m_block;
    std::size_t m_used = 0;
    int m_fd = -1;
    int m_error = 0;
};
