#include "cli/HistoryFileSource.h"

#include "cli/CliFailure.h"
#include "cli/HistoryCommands.h"
#include "history/HistoryFile.h"
#include "history/HistoryFileLock.h"
#include "history/HistoryRecord.h"
#include "history/TransmittersPresent.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace fs = std::filesystem;

namespace {

void CheckHistoryFileReadable(const fs::path& file) {
    std::error_code error;
    const auto status = fs::status(file, error);
    if (!fs::exists(status))
        throw CliFailure("history file " + Quoted(file.string()) + " does not exist");
    if (fs::is_directory(status))
        throw CliFailure("history file " + Quoted(file.string()) + " is a directory");
    // A pipe or a device is refused before it is opened: opening a FIFO waits for a writer.
    if (!fs::is_regular_file(status))
        throw CliFailure("history file " + Quoted(file.string()) + " is not a regular file");
}

[[noreturn]] void FailReading(const fs::path& file, const std::string& reason) {
    throw CliFailure("history file " + Quoted(file.string()) + " cannot be read: " + reason);
}

// Opens the file under its shared lock, visits every block and checks the content; the lock is
// released on return, the stream stays open. None when visit stopped the reading.
std::optional<std::size_t> VisitLocked(const fs::path& file, std::ifstream& in,
                                       const std::function<bool(std::span<const CDataset>)>& visit) {
    CheckHistoryFileReadable(file);
    HistoryFileLock lock = HistoryFileLock::Acquire(file, HistoryFileLock::Mode::Shared, false);
    if (!lock.Held())
        FailReading(file, lock.Reason());
    in.open(file, std::ios::binary);
    if (!in)
        FailReading(file, std::strerror(errno));
    HistoryDamage damage;
    std::size_t records = 0;
    bool completed = true;
    try {
        completed = VisitHistoryBlocks(
            in,
            [&](std::span<const CDataset> block) {
                records += block.size();
                return visit(block);
            },
            &damage);
    } catch (const std::bad_alloc&) {
        throw NotEnoughMemory(file);
    }
    if (in.bad())
        FailReading(file, std::strerror(errno));
    lock.Release();
    if (!completed)
        return std::nullopt;
    CheckHistoryContent(file, damage, records);
    return records;
}

} // namespace

CliFailure NotEnoughMemory(const fs::path& file) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    return CliFailure("not enough memory to read " + Quoted(file.string()) + " (" +
                      std::to_string(error ? 0 : size / HistoryRecordSize) + " records)");
}

std::size_t StreamHistoryFile(const fs::path& file,
                              const std::function<void(std::span<const CDataset>)>& visit) {
    std::ifstream in;
    return *VisitLocked(file, in, [&visit](std::span<const CDataset> block) {
        visit(block);
        return true;
    });
}

std::optional<std::size_t>
StreamHistoryFileWhile(const fs::path& file, const std::function<bool(std::span<const CDataset>)>& visit) {
    std::ifstream in;
    return VisitLocked(file, in, visit);
}

HistoryFileSource::HistoryFileSource(const fs::path& file) : m_file(file) {
    CDataset last;
    VisitLocked(file, m_in, [&](std::span<const CDataset> block) {
        if (m_inOrder)
            m_inOrder = (m_records == 0 || !HistoryOrder(block.front(), last)) && IsInHistoryOrder(block);
        m_records += block.size();
        last = block.back();
        m_transmitters = std::max(m_transmitters, TransmittersWithValues(block));
        return true;
    });
}

bool HistoryFileSource::Feed(const std::function<bool(const CDataset&)>& write) {
    m_in.clear();
    m_in.seekg(0);
    if (m_inOrder) {
        std::size_t left = m_records; // what was appended since is not part of this export
        bool written = true;
        VisitHistoryRecords(m_in, [&](const CDataset& dataset) {
            if (left == 0)
                return false;
            --left;
            written = write(dataset);
            return written;
        });
        return written && left == 0 && !m_in.bad();
    }
    std::vector<CDataset> datasets;
    try {
        ReadHistoryRecords(m_in, datasets);
    } catch (const std::bad_alloc&) {
        throw NotEnoughMemory(m_file);
    }
    datasets.resize(std::min(datasets.size(), m_records));
    std::stable_sort(datasets.begin(), datasets.end(), HistoryOrder);
    for (const CDataset& dataset : datasets)
        if (!write(dataset))
            return false;
    return !m_in.bad();
}
