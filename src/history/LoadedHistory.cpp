#include "history/LoadedHistory.h"

#include "base/HugePages.h"
#include "history/HistoryFile.h"
#include "history/HistoryRecord.h"
#include "log/Logger.h"

#include <algorithm>
#include <chrono>
#include <fstream>

namespace fs = std::filesystem;

bool ReadLockedHistoryFile(const fs::path& path, const HistoryFileLock& lock, std::vector<CDataset>& datasets,
                           HistoryDamage& damage) {
    datasets.clear();
    damage = {};
    if (const auto stamp = lock.Stamp()) {
        datasets.reserve(static_cast<std::size_t>(stamp->size) / HistoryRecordSize);
        PreferHugePages(datasets.data(), datasets.capacity() * sizeof(CDataset));
    }
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    // A file in order, the usual case, is checked while it is read. Stable, so datasets that
    // share a date-time keep their file order.
    if (!ReadHistoryRecords(in, datasets, &damage))
        std::stable_sort(datasets.begin(), datasets.end(),
                         [](const CDataset& a, const CDataset& b) { return HistoryOrder(a, b); });
    return !in.bad();
}

LoadedHistory LoadHistoryFile(const fs::path& path) {
    const auto start = std::chrono::steady_clock::now();
    CLogger::Instance().Log(30, "Read history file start");
    LoadedHistory loaded;
    loaded.path = path;
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (!ec && fs::exists(status) && !fs::is_directory(status)) {
        const HistoryFileLock lock = HistoryFileLock::Acquire(path, HistoryFileLock::Mode::Shared, false);
        if (lock.Held()) {
            loaded.stamp = lock.Stamp();
            loaded.ok = ReadLockedHistoryFile(path, lock, loaded.datasets, loaded.damage);
        }
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    CLogger::Instance().Log(
        30, "Read history file finished %ld dp, %ld ms", static_cast<long>(loaded.datasets.size()),
        static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
    return loaded;
}
