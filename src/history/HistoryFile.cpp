#include "history/HistoryFile.h"

#include "base/FileReplacement.h"
#include "history/HistoryFileLock.h"
#include "history/HistoryRecord.h"
#include "station/StationRange.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <istream>
#include <ostream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t RecordsPerBlock = 4096;

fs::path FolderOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// The system's reason for the last failure, or a general one when errno says nothing.
std::string SystemReason() {
    return errno != 0 ? std::string(std::strerror(errno)) : std::string("the file could not be written");
}

} // namespace

bool SyncToDisk(const fs::path& path, bool folder) {
    const int fd = ::open(path.c_str(), (folder ? O_RDONLY | O_DIRECTORY : O_RDONLY) | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

namespace {

// Whether the bytes of an incomplete record start as a station's record does: its date-time at
// least, and what there is of its values.
bool StartsLikeARecord(const std::uint8_t* bytes, std::size_t size) {
    if (size < sizeof(double))
        return false;
    std::uint8_t record[HistoryRecordSize];
    EncodeHistoryRecord(CDataset(), record); // the values not there count as not available
    std::copy_n(bytes, std::min(size, HistoryRecordSize), record);
    CDataset dataset;
    DecodeHistoryRecord(record, dataset);
    return IsStationDataset(dataset);
}

// Every whole record of the stream, decoded a block at a time, to visit until it returns false.
template <typename Visit> bool ReadRecordBlocks(std::istream& stream, HistoryDamage* damage, Visit&& visit) {
    std::vector<std::uint8_t> block(RecordsPerBlock * HistoryRecordSize);
    std::vector<CDataset> datasets(RecordsPerBlock);
    std::size_t counted = 0;
    while (stream) {
        stream.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(block.size()));
        const auto bytes = static_cast<std::size_t>(stream.gcount());
        const std::size_t records = bytes / HistoryRecordSize;
        for (std::size_t i = 0; i < records; ++i)
            DecodeHistoryRecord(block.data() + i * HistoryRecordSize, datasets[i]);
        if (damage) {
            damage->implausibleRecords += CountNonStationDatasets(std::span(datasets.data(), records));
            damage->partialBytes = bytes % HistoryRecordSize; // only the last block can be short
            counted += records;
            if (damage->partialBytes != 0 && counted == 0)
                damage->partialIsNoRecord = !StartsLikeARecord(block.data(), damage->partialBytes);
        }
        if (records != 0 && !visit(std::span<const CDataset>(datasets.data(), records)))
            return false;
    }
    return true;
}

} // namespace

bool VisitHistoryBlocks(std::istream& stream, const std::function<bool(std::span<const CDataset>)>& visit,
                        HistoryDamage* damage) {
    return ReadRecordBlocks(stream, damage, visit);
}

bool VisitHistoryRecords(std::istream& stream, const std::function<bool(const CDataset&)>& visit,
                         HistoryDamage* damage) {
    return ReadRecordBlocks(stream, damage, [&visit](std::span<const CDataset> block) {
        for (const CDataset& dataset : block)
            if (!visit(dataset))
                return false;
        return true;
    });
}

bool ReadHistoryRecords(std::istream& stream, std::vector<CDataset>& datasets, HistoryDamage* damage) {
    // The order is checked on the way in, while the previous dataset is still in the cache.
    bool inOrder = true;
    ReadRecordBlocks(stream, damage, [&](std::span<const CDataset> block) {
        inOrder = inOrder && (datasets.empty() || !HistoryOrder(block.front(), datasets.back())) &&
                  IsInHistoryOrder(block);
        datasets.insert(datasets.end(), block.begin(), block.end());
        return true;
    });
    return inOrder;
}

bool IsInHistoryOrder(std::span<const CDataset> datasets) {
    for (std::size_t i = 1; i < datasets.size(); ++i)
        if (HistoryOrder(datasets[i], datasets[i - 1]))
            return false;
    return true;
}

bool WriteHistoryRecords(std::ostream& stream, std::span<const CDataset> datasets) {
    std::vector<std::uint8_t> block(std::min(datasets.size(), RecordsPerBlock) * HistoryRecordSize);
    for (std::size_t done = 0; done < datasets.size() && stream;) {
        const std::size_t count = std::min(datasets.size() - done, RecordsPerBlock);
        for (std::size_t i = 0; i < count; ++i)
            EncodeHistoryRecord(datasets[done + i], block.data() + i * HistoryRecordSize);
        stream.write(reinterpret_cast<const char*>(block.data()),
                     static_cast<std::streamsize>(count * HistoryRecordSize));
        done += count;
    }
    return static_cast<bool>(stream);
}

ReplaceResult ReplaceHistoryRecord(std::iostream& stream, const CDataset& original, const CDataset& edited) {
    std::uint8_t wanted[HistoryRecordSize];
    EncodeHistoryRecord(original, wanted);
    std::uint8_t record[HistoryRecordSize];
    for (;;) {
        stream.read(reinterpret_cast<char*>(record), HistoryRecordSize);
        if (stream.gcount() != static_cast<std::streamsize>(HistoryRecordSize))
            return stream.bad() ? ReplaceResult::Failed : ReplaceResult::NotFound;
        if (std::equal(std::begin(record), std::end(record), std::begin(wanted)))
            break;
    }
    const auto end = stream.tellg();
    if (end == std::streampos(-1))
        return ReplaceResult::Failed;
    stream.seekp(end - static_cast<std::streamoff>(HistoryRecordSize));
    if (!stream)
        return ReplaceResult::Failed;
    EncodeHistoryRecord(edited, record);
    stream.write(reinterpret_cast<const char*>(record), HistoryRecordSize);
    stream.flush();
    return stream ? ReplaceResult::Replaced : ReplaceResult::Failed;
}

HistoryOutcome WriteHistoryFileReplacing(const fs::path& path,
                                         const std::function<bool(std::ostream&)>& write,
                                         HistoryFileStamp* written) {
    FileReplacement replacement(path);
    if (!replacement.Started())
        return HistoryOutcome::Failure(replacement.Reason());
    if (!write(replacement.Stream()))
        replacement.Fail("the file could not be written");
    // The new file is locked before it appears under the path, so no other writer can touch it
    // before its stamp is taken.
    HistoryFileLock newFile =
        HistoryFileLock::Acquire(replacement.Temporary(), HistoryFileLock::Mode::Exclusive, false);
    if (!replacement.Commit(true))
        return HistoryOutcome::Failure(replacement.Reason());
    if (written) {
        const auto stamp = newFile.Stamp();
        *written = stamp ? *stamp : HistoryFileStamp{};
    }
    return HistoryOutcome::Success();
}

HistoryOutcome AppendHistoryFile(const fs::path& path, const std::function<bool(std::ostream&)>& write,
                                 const DiskSync& sync) {
    std::error_code ec;
    const bool created = !fs::exists(path, ec);
    std::uintmax_t size = fs::is_regular_file(path, ec) ? fs::file_size(path, ec) : 0;
    if (ec)
        size = 0;
    if (size % HistoryRecordSize != 0) {
        size -= size % HistoryRecordSize;
        fs::resize_file(path, size, ec);
        if (ec)
            return HistoryOutcome::Failure(ec.message());
    }
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::app);
    if (!out)
        return HistoryOutcome::Failure(SystemReason());
    bool ok = write(out);
    std::string reason = ok ? std::string() : SystemReason();
    out.close();
    if (ok && out.fail()) {
        ok = false;
        reason = SystemReason();
    }
    // On the disk before anyone is told the datasets are kept (the station forgets them then); a
    // file that was empty may be new, and its folder entry must last too.
    if (ok && !(sync(path, false) && (!(created || size == 0) || sync(FolderOf(path), true)))) {
        ok = false;
        reason = SystemReason();
    }
    if (!ok) {
        if (fs::is_regular_file(path, ec))
            fs::resize_file(path, size, ec); // no partial or unsynced record may stay behind
        return HistoryOutcome::Failure(reason);
    }
    return HistoryOutcome::Success();
}
