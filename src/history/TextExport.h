#pragma once

#include "history/HistoryExport.h"
#include "station/Dataset.h"

#include <string>

// The semicolon-separated export: a fixed English header, then one line per dataset with the 13
// column texts, every field in double quotes. Lines end in CR LF on every platform.
extern const char* const ExportHeader;
constexpr const char* ExportLineEnd = "\r\n";

// Appends one dataset's line, line end included.
void AppendExportLine(std::string& out, const CDataset& dataset, const ColumnFormat& format);

// The text format as an export writer: lines are gathered in a buffer and written in large
// blocks straight to the file descriptor.
class TextExportWriter : public ExportWriter {
public:
    explicit TextExportWriter(ColumnFormat format);
    ~TextExportWriter() override;

    HistoryOutcome Open(const std::filesystem::path& file) override;
    // Writes to a descriptor that stays open (standard output) instead of a file.
    HistoryOutcome Attach(int fd);
    bool Write(const CDataset& dataset) override;
    HistoryOutcome Close() override;

private:
    bool Flush();

    ColumnFormat m_format;
    std::string m_buffer;
    int m_fd = -1;
    bool m_owned = false;
    int m_error = 0;
};
