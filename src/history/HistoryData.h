#pragma once

#include "base/CriticalSection.h"
#include "history/ExportFormat.h"
#include "history/HistoryDamage.h"
#include "history/HistoryFileLock.h"
#include "history/HistoryOutcome.h"
#include "history/LoadedHistory.h"
#include "history/SharedDatasets.h"
#include "station/Dataset.h"

// g++ 12 with sanitizers reports boost::optional inside Signals2's slot grouping as maybe
// uninitialised (a known false positive); it is raised where connect() is instantiated.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <boost/signals2/signal.hpp>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

// A date-time-ordered, lock-protected sequence of datasets with a change signal. Every operation
// holds the (recursive) lock for its whole duration, file work and signal included; the signal's
// slots therefore run on the emitting thread with the lock held and must not wait for a thread
// that may be blocked on this store.
class CHistoryData {
public:
    using ChangedSignal = boost::signals2::signal<void(const CHistoryData&)>;
    using Path = std::filesystem::path;

    CHistoryData() = default;
    ~CHistoryData() = default;
    CHistoryData(const CHistoryData&) = delete;
    CHistoryData& operator=(const CHistoryData&) = delete;

    std::size_t Size() const;
    void Clear();
    // A copy: another thread may append meanwhile. Raises std::out_of_range past the end.
    CDataset At(std::size_t index) const;
    // Runs f(const std::vector<CDataset>&) under the lock (printing, whole-table work).
    template <typename F> decltype(auto) WithDatasets(F&& f) const {
        CriticalSectionLock lock(m_lock);
        return f(m_datasets.Get());
    }
    // The datasets as they are now, to be read on another thread while this store changes on.
    SharedDatasets::Snapshot Snapshot() const;

    // Replaces the store with the file's datasets, sorted, under a shared lock of the file. Emits
    // Changed. Damage() then tells what the file held that no station writes.
    bool Read(const Path& path);
    // Replaces the store with a file read elsewhere (LoadHistoryFile), as Read would; a file
    // written since is read again. Emits Changed.
    bool Adopt(LoadedHistory loaded);
    HistoryDamage Damage() const;
    // Why the last Append failed, for callers that hear only that it failed (an import request).
    std::string LastAppendFailure() const;
    // Whether the file is no longer what this store last read or wrote (another process appended
    // or rewrote it), so the store should be read again.
    bool ChangedOnDisk(const Path& path) const;

    // Every write below holds the file's exclusive lock, changes the file first and memory only
    // when the file took the change, and emits Changed. A dataset to change or delete is named by
    // value (date-time and values, as the user saw it), never by position: positions move when
    // another process adds older datasets, and two datasets may share a date-time.
    // Rewrites the file's first record that is shown with edited (same date-time, new values) in
    // place, then memory's. Fails, naming the dataset, when the file no longer holds shown.
    HistoryOutcome Update(const Path& path, const CDataset& shown, const CDataset& edited);
    // Appends to the file in the given order and syncs it, then adds to memory (kept sorted).
    // When another process changed the file since this store read it, the store reads it again
    // first and datasets it holds by then are not appended twice.
    HistoryOutcome Append(const Path& path, const std::vector<CDataset>& datasets);
    // Erases the chosen datasets and rewrites the file. When another process changed the file
    // since this store read it, the store reads it again first, so no record appended meanwhile is
    // lost. All or nothing: when the file no longer holds one of the chosen datasets, nothing is
    // erased and the failure names it. A dataset chosen twice goes once for each time it is held.
    HistoryOutcome Delete(const Path& path, std::span<const CDataset> chosen);
    // The export in a format (the semicolon-separated text unless asked otherwise); historyFiles
    // are refused as targets.
    HistoryOutcome Export(const Path& path, const ColumnFormat& format,
                          std::span<const Path> historyFiles = {},
                          ExportFormat exportFormat = ExportFormat::Text) const;
    // Removes from datasets, keeping their order, every measurement the store holds: the same
    // date-time with the same values. Another measurement at a known date-time is new.
    void RemoveKnown(std::vector<CDataset>& datasets) const;

    // Stream level. ReadFrom appends and sorts; the writers report whether every byte was written.
    void ReadFrom(std::istream& stream);
    bool WriteTo(std::ostream& stream) const;
    bool AppendTo(std::ostream& stream, const std::vector<CDataset>& datasets) const;

    ChangedSignal Changed;

private:
    void EmitChanged() const;
    void SortAppended(std::size_t firstAppended);
    HistoryOutcome AppendLocked(const Path& path, const std::vector<CDataset>& datasets);
    // Reads the locked file into memory (the lock's file is the path's).
    bool ReadLocked(const Path& path, const HistoryFileLock& lock);

    mutable CriticalSection m_lock;
    SharedDatasets m_datasets;
    std::optional<HistoryFileStamp> m_stamp; // of the file as memory last matched it
    HistoryDamage m_damage;
    std::string m_lastAppendFailure;
};

// Whether two paths name the same history file: the same file on disk, or the same normalised
// path while neither exists. Letter case alone decides nothing (the file system does).
bool IsSameHistoryFile(const std::filesystem::path& a, const std::filesystem::path& b);
// "history.nvh (1234)".
std::string HistoryTitle(const std::filesystem::path& path, std::size_t count);
