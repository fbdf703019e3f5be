#include "history/BlockExportWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

constexpr std::size_t BlockSize = 1 << 18;

} // namespace

HistoryOutcome BlockExportWriter::Open(const ExportDestination& destination) {
    m_fd = destination.fd;
    m_error = 0;
    const std::string header = Header();
    m_block.assign(std::max(BlockSize, header.size()) + MaxLineSize(), 0);
    std::memcpy(m_block.data(), header.data(), header.size());
    m_used = header.size();
    return HistoryOutcome::Success();
}

bool BlockExportWriter::Flush() {
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

bool BlockExportWriter::Write(const CDataset& dataset) {
    m_used = std::size_t(FormatLine(m_block.data() + m_used, dataset) - m_block.data());
    return m_used < BlockSize || Flush();
}

HistoryOutcome BlockExportWriter::Close() {
    if (m_fd < 0)
        return HistoryOutcome::Failure("the export file is not open");
    Flush();
    m_fd = -1;
    if (m_error != 0)
        return HistoryOutcome::Failure(std::strerror(m_error));
    return HistoryOutcome::Success();
}
