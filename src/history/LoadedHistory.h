#pragma once

#include "history/HistoryDamage.h"
#include "history/HistoryFileLock.h"
#include "station/Dataset.h"

#include <filesystem>
#include <optional>
#include <vector>

// A history file read whole, sorted, apart from any store: the desktop reads a large file on a
// worker thread and the store takes it in afterwards (CHistoryData::Adopt).
struct LoadedHistory {
    std::filesystem::path path;
    std::vector<CDataset> datasets;
    HistoryDamage damage;
    std::optional<HistoryFileStamp> stamp; // of the file as it was read; none when it was not
    bool ok = false;                       // false: missing, a folder, not lockable or unreadable
};

// Reads the file under its shared lock. Touches no store, so any thread may call it.
LoadedHistory LoadHistoryFile(const std::filesystem::path& path);

// Replaces datasets with the file's (sorted; a file in order costs no sort) and damage with what
// it held that no station writes. The caller holds the file's lock.
bool ReadLockedHistoryFile(const std::filesystem::path& path, const HistoryFileLock& lock,
                           std::vector<CDataset>& datasets, HistoryDamage& damage);
