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

TextExportWriter::TextExportWriter(ColumnFormat format) : m_format(std::move(format)) {
    m_buffer.reserve(BlockSize + 1024);
}

TextExportWriter::~TextExportWriter() {
    if (m_owned && m_fd >= 0)
        ::close(m_fd);
}

HistoryOutcome TextExportWriter::Open(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return HistoryOutcome::Failure(std::strerror(errno));
    HistoryOutcome outcome = Attach(fd);
    m_owned = true;
    return outcome;
}

HistoryOutcome TextExportWriter::Attach(int fd) {
    m_fd = fd;
    m_owned = false;
    m_error = 0;
    m_buffer.clear();
    m_buffer += ExportHeader;
    m_buffer += ExportLineEnd;
    return HistoryOutcome::Success();
}

bool TextExportWriter::Flush() {
    const char* data = m_buffer.data();
    std::size_t left = m_buffer.size();
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
    m_buffer.clear();
    return m_error == 0;
}

bool TextExportWriter::Write(const CDataset& dataset) {
    AppendExportLine(m_buffer, dataset, m_format);
    return m_buffer.size() < BlockSize || Flush();
}

HistoryOutcome TextExportWriter::Close() {
    if (m_fd < 0)
        return HistoryOutcome::Failure("the export file is not open");
    Flush();
    if (m_owned) {
        if (::close(m_fd) != 0 && m_error == 0)
            m_error = errno;
        m_owned = false;
    }
    m_fd = -1;
    if (m_error != 0)
        return HistoryOutcome::Failure(std::strerror(m_error));
    return HistoryOutcome::Success();
}
