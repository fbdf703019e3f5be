#include "history/HistoryFile.h"

#include "history/HistoryRecord.h"

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

} // namespace

bool SyncToDisk(const fs::path& path, bool folder) {
    const int fd = ::open(path.c_str(), (folder ? O_RDONLY | O_DIRECTORY : O_RDONLY) | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

void ReadHistoryRecords(std::istream& stream, std::vector<CDataset>& datasets) {
    std::vector<std::uint8_t> block(RecordsPerBlock * HistoryRecordSize);
    while (stream) {
        stream.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(block.size()));
        const auto records = static_cast<std::size_t>(stream.gcount()) / HistoryRecordSize;
        for (std::size_t i = 0; i < records; ++i) {
            CDataset& dataset = datasets.emplace_back();
            DecodeHistoryRecord(block.data() + i * HistoryRecordSize, dataset);
        }
    }
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

bool ReplaceHistoryRecord(std::iostream& stream, const CDataset& dataset) {
    std::uint8_t record[HistoryRecordSize];
    CDataset candidate;
    for (;;) {
        stream.read(reinterpret_cast<char*>(record), HistoryRecordSize);
        if (stream.gcount() != static_cast<std::streamsize>(HistoryRecordSize))
            return true; // no record of that date-time: nothing to write
        DecodeHistoryRecord(record, candidate);
        if (candidate == dataset)
            break;
    }
    const auto end = stream.tellg();
    if (end == std::streampos(-1))
        return false;
    stream.seekp(end - static_cast<std::streamoff>(HistoryRecordSize));
    if (!stream)
        return false;
    EncodeHistoryRecord(dataset, record);
    stream.write(reinterpret_cast<const char*>(record), HistoryRecordSize);
    stream.flush();
    return static_cast<bool>(stream);
}

bool WriteHistoryFileReplacing(const fs::path& path, const std::function<bool(std::ostream&)>& write) {
    std::error_code ec;
    // Replace the file a link points to, not the link.
    fs::path target = fs::is_symlink(path, ec) ? fs::canonical(path, ec) : path;
    if (ec || target.empty())
        target = path;
    fs::path temporary = target;
    temporary += ".tmp";

    bool ok = false;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        ok = write(out);
        out.close();
        ok = ok && !out.fail();
    }
    if (ok) {
        SyncToDisk(temporary, false); // so a rename after it cannot expose an empty file
        const auto status = fs::status(target, ec);
        if (!ec && fs::exists(status))
            fs::permissions(temporary, status.permissions(), ec);
        fs::rename(temporary, target, ec);
        ok = !ec;
    }
    if (!ok) {
        fs::remove(temporary, ec);
        return false;
    }
    SyncToDisk(FolderOf(target), true);
    return true;
}

bool AppendHistoryFile(const fs::path& path, const std::function<bool(std::ostream&)>& write,
                       const DiskSync& sync) {
    std::error_code ec;
    const bool created = !fs::exists(path, ec);
    std::uintmax_t size = fs::is_regular_file(path, ec) ? fs::file_size(path, ec) : 0;
    if (ec)
        size = 0;
    if (size % HistoryRecordSize != 0) {
        size -= size % HistoryRecordSize;
        fs::resize_file(path, size, ec);
    }
    std::ofstream out(path, std::ios::binary | std::ios::app);
    if (!out)
        return false;
    bool ok = write(out);
    out.close();
    ok = ok && !out.fail();
    ok = ok && sync(path, false) && (!created || sync(FolderOf(path), true));
    if (!ok && fs::is_regular_file(path, ec))
        fs::resize_file(path, size, ec); // no partial or unsynced record may stay behind
    return ok;
}
