#pragma once

#include "history/HistoryExport.h"

#include <cstddef>
#include <string>
#include <vector>

// An export made of text lines (text, CSV): every line is formatted straight into a block of
// memory, and full blocks go to the descriptor in large writes.
class BlockExportWriter : public ExportWriter {
public:
    HistoryOutcome Open(const ExportDestination& destination) override;
    bool Write(const CDataset& dataset) override;
    HistoryOutcome Close() override;

protected:
    // The first line(s), line end included.
    virtual std::string Header() const = 0;
    // The most bytes one dataset's line can take, line end included.
    virtual std::size_t MaxLineSize() const = 0;
    // Writes one dataset's line, line end included, at out, which has room for MaxLineSize()
    // bytes; returns the end of what was written.
    virtual char* FormatLine(char* out, const CDataset& dataset) = 0;

private:
    bool Flush();

    std::vector<char> m_block;
    std::size_t m_used = 0;
    int m_fd = -1;
    int m_error = 0;
};
