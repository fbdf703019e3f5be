#include "history/TextExport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

const char* const ExportHeader =
    "\"Date\";\"Indoor Temperature\";\"Indoor Humidity\";\"Outdoor Temperature 1\";\"Outdoor Humidity 1\";"
    "\"Outdoor Temperature 2\";\"Outdoor Humidity 2\";\"Outdoor Temperature 3\";\"Outdoor Humidity 3\";"
    "\"Outdoor Temperature 4\";\"Outdoor Humidity 4\";\"Outdoor Temperature 5\";\"Outdoor Humidity 5\"";

namespace {

constexpr std::size_t BlockSize = 1 << 18;

} // namespace

void AppendExportLine(std::string& out, const CDataset& dataset, const ColumnFormat& format) {
    for (int column = dcDate; column <= DatasetColumnCount; ++column) {
        if (column != dcDate)
            out.push_back(';');
        out.push_back('"');
        dataset.AppendColumnText(out, column, format);
        out.push_back('"');
    }
    out += ExportLineEnd;
}

TextExportWriter::TextExportWriter(ColumnFormat format)
    : m_formatter(format), m_block(BlockSize + m_formatter.MaxLineSize()) {}

TextExportWriter::~TextExportWriter() = default;

HistoryOutcome TextExportWriter::Open(int fd) {
    m_fd = fd;
    m_error = 0;
    m_used = 0;
    Put(ExportHeader, std::strlen(ExportHeader));
    Put(ExportLineEnd, std::strlen(ExportLineEnd));
    return HistoryOutcome::Success();
}

void TextExportWriter::Put(const char* text, std::size_t size) {
    if (m_used + size > m_block.size())
        Flush();
    if (size > m_block.size())
        m_block.resize(size);
    std::memcpy(m_block.data() + m_used, text, size);
    m_used += size;
}

bool TextExportWriter::Flush() {
    const char* data = m_block.data();
    std::size_t left = m_used;
    while (left > 0 && m_error == 0) {
        const ssize_t written = ::write(m_fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            m_error = written < 0 ? errno : ENOSPC;
            break;
        }
        data += written;
        left -= std::size_t(written);
    }
    m_used = 0;
    return m_error == 0;
}

bool TextExportWriter::Write(const CDataset& dataset) {
    m_used = std::size_t(m_formatter.Write(m_block.data() + m_used, dataset) - m_block.data());
    return m_used < BlockSize || Flush();
}

HistoryOutcome TextExportWriter::Close() {
    if (m_fd < 0)
        return HistoryOutcome::Failure("the export file is not open");
    Flush();
    m_fd = -1;
    if (m_error != 0)
        return HistoryOutcome::Failure(std::strerror(m_error));
    return HistoryOutcome::Success();
}
