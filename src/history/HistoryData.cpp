#include "history/HistoryData.h"

#include "base/FileIdentity.h"
#include "history/ExportWriters.h"
#include "history/HistoryExport.h"
#include "history/HistoryFile.h"
#include "history/HistoryFind.h"
#include "history/HistoryRecord.h"
#include "history/LoadedHistory.h"
#include "history/TransmittersPresent.h"
#include "log/Logger.h"
#include "station/StationRange.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

class Stopwatch {
public:
    long Milliseconds() const {
        return static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start)
                .count());
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

} // namespace

std::size_t CHistoryData::Size() const {
    CriticalSectionLock lock(m_lock);
    return m_datasets.Get().size();
}

void CHistoryData::Clear() {
    CriticalSectionLock lock(m_lock);
    m_datasets.Replace({});
}

CDataset CHistoryData::At(std::size_t index) const {
    CriticalSectionLock lock(m_lock);
    return m_datasets.Get().at(index);
}

SharedDatasets::Snapshot CHistoryData::Snapshot() const {
    CriticalSectionLock lock(m_lock);
    return m_datasets.Share();
}

void CHistoryData::EmitChanged() const {
    Changed(*this);
}

void CHistoryData::SortAppended(std::size_t firstAppended) {
    std::vector<CDataset>& datasets = m_datasets.Mutable();
    const auto middle = datasets.begin() + static_cast<std::ptrdiff_t>(firstAppended);
    const auto order = [](const CDataset& a, const CDataset& b) { return HistoryOrder(a, b); };
    // The datasets before the appended ones are in order: only the appended ones and where they
    // join are looked at, so that an import's few datasets cost no pass over the whole history.
    if (std::is_sorted(firstAppended > 0 ? middle - 1 : middle, datasets.end(), order))
        return;
    // Stable, so datasets that share a date-time keep their file order, as every read shows them.
    std::stable_sort(middle, datasets.end(), order);
    std::inplace_merge(datasets.begin(), middle, datasets.end(), order);
}

void CHistoryData::ReadFrom(std::istream& stream) {
    CriticalSectionLock lock(m_lock);
    std::vector<CDataset>& datasets = m_datasets.Mutable();
    const std::size_t before = datasets.size();
    if (!ReadHistoryRecords(stream, datasets))
        SortAppended(before);
}

bool CHistoryData::WriteTo(std::ostream& stream) const {
    CriticalSectionLock lock(m_lock);
    const Stopwatch watch;
    CLogger::Instance().Log(30, "Write history file start");
    const bool ok = WriteHistoryRecords(stream, m_datasets.Get());
    CLogger::Instance().Log(30, "Write history file finished %ld dp, %ld ms",
                            static_cast<long>(m_datasets.Get().size()), watch.Milliseconds());
    return ok;
}

bool CHistoryData::AppendTo(std::ostream& stream, const std::vector<CDataset>& datasets) const {
    CriticalSectionLock lock(m_lock);
    const Stopwatch watch;
    const bool ok = WriteHistoryRecords(stream, datasets);
    CLogger::Instance().Log(30, "Append history file finished %ld dp, %ld ms",
                            static_cast<long>(datasets.size()), watch.Milliseconds());
    return ok;
}

bool CHistoryData::ReadLocked(const Path& path, const HistoryFileLock& lock) {
    m_stamp = lock.Stamp();
    std::vector<CDataset> datasets;
    const bool read = ReadLockedHistoryFile(path, lock, datasets, m_damage);
    m_datasets.Replace(std::move(datasets));
    return read;
}

bool CHistoryData::Read(const Path& path) {
    // The lock is held from the read on: an append by another thread waits until memory
    // matches the file again.
    CriticalSectionLock lock(m_lock);
    return Adopt(LoadHistoryFile(path));
}

bool CHistoryData::Adopt(LoadedHistory loaded) {
    CriticalSectionLock lock(m_lock);
    // Written since it was read (by another process, or an import into this store): read again
    // here, under the store's lock, so that no dataset written meanwhile is missing from memory.
    if (StampOfHistoryFile(loaded.path) != loaded.stamp)
        loaded = LoadHistoryFile(loaded.path);
    m_datasets.Replace(std::move(loaded.datasets));
    m_damage = loaded.damage;
    m_stamp = loaded.stamp;
    if (m_damage.Any())
        CLogger::Instance().Log(10, "History file %s: %s", loaded.path.string().c_str(),
                                DamageText(m_damage).c_str());
    EmitChanged();
    return loaded.ok;
}

HistoryDamage CHistoryData::Damage() const {
    CriticalSectionLock lock(m_lock);
    return m_damage;
}

bool CHistoryData::ChangedOnDisk(const Path& path) const {
    CriticalSectionLock lock(m_lock);
    return StampOfHistoryFile(path) != m_stamp;
}

namespace {

// The exclusive lock of an existing history file, or the failure that says why there is none.
HistoryOutcome LockForWriting(const fs::path& path, bool create, HistoryFileLock& fileLock) {
    fileLock = HistoryFileLock::Acquire(path, HistoryFileLock::Mode::Exclusive, create);
    return fileLock.Held() ? HistoryOutcome::Success() : HistoryOutcome::Failure(fileLock.Reason());
}

// "the dataset of 2024-05-01 15:30:00 is no longer in the file", or how many are missing.
std::string NoLongerInFile(const std::vector<CDataset>& missing) {
    const std::string first = missing.front().GetDateTime().LogText();
    if (missing.size() == 1)
        return "the dataset of " + first + " is no longer in the file";
    return std::to_string(missing.size()) +
           " of the datasets chosen are no longer in the file, the first of " + first;
}

} // namespace

HistoryOutcome CHistoryData::Update(const Path& path, const CDataset& shown, const CDataset& edited) {
    const Stopwatch watch;
    CLogger::Instance().Log(30, "Update history file start");
    CriticalSectionLock lock(m_lock);
    HistoryFileLock fileLock;
    if (HistoryOutcome locked = LockForWriting(path, false, fileLock); !locked)
        return locked;
    const bool current = fileLock.Stamp() == m_stamp;
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    if (!file)
        return HistoryOutcome::Failure(std::strerror(errno));
    const ReplaceResult replaced = ReplaceHistoryRecord(file, shown, edited);
    if (replaced == ReplaceResult::NotFound)
        return HistoryOutcome::Failure(NoLongerInFile({shown}));
    if (replaced == ReplaceResult::Failed)
        return HistoryOutcome::Failure(errno != 0 ? std::strerror(errno) : "the file could not be written");
    file.close();
    if (file.fail() || !fileLock.Sync())
        return HistoryOutcome::Failure(std::strerror(errno));
    // Memory follows the file; a store that has not read another process's change yet may not
    // hold the dataset, and reads the file again on the next refresh (its stamp stays old).
    if (const auto at = FindInHistory(m_datasets.Get(), std::span(&shown, 1)).front())
        m_datasets.Mutable()[*at] = edited;
    if (current)
        m_stamp = fileLock.Stamp();
    CLogger::Instance().Log(30, "Update history file finished %ld ms", watch.Milliseconds());
    EmitChanged();
    return HistoryOutcome::Success();
}

std::string CHistoryData::LastAppendFailure() const {
    CriticalSectionLock lock(m_lock);
    return m_lastAppendFailure;
}

HistoryOutcome CHistoryData::Append(const Path& path, const std::vector<CDataset>& datasets) {
    CriticalSectionLock lock(m_lock);
    HistoryOutcome outcome = AppendLocked(path, datasets);
    m_lastAppendFailure = outcome ? std::string() : outcome.reason;
    return outcome;
}

HistoryOutcome CHistoryData::AppendLocked(const Path& path, const std::vector<CDataset>& datasets) {
    const Stopwatch watch;
    HistoryFileLock fileLock;
    if (HistoryOutcome locked = LockForWriting(path, true, fileLock); !locked)
        return locked;
    std::vector<CDataset> fresh = datasets;
    if (fileLock.Stamp() != m_stamp) {
        // Another process wrote the file since this store read it: what it appended is known too.
        if (!ReadLocked(path, fileLock))
            return HistoryOutcome::Failure(std::strerror(errno));
        RemoveKnown(fresh);
    }
    // A file that is no history (a text, another program's file) is never appended to or cut.
    if (const auto reason = NotAHistoryFile(m_damage, m_datasets.Get().size()))
        return HistoryOutcome::Failure("it is not a history file: " + *reason);
    // Only what reached the file is kept: a caller that finds the write failed can offer the
    // same datasets again without doubling them in memory.
    const HistoryOutcome outcome =
        AppendHistoryFile(path, [&](std::ostream& out) { return WriteHistoryRecords(out, fresh); });
    if (outcome) {
        std::vector<CDataset>& held = m_datasets.Mutable();
        const std::size_t before = held.size();
        held.insert(held.end(), fresh.begin(), fresh.end());
        SortAppended(before);
        m_stamp = fileLock.Stamp();
        CLogger::Instance().Log(30, "Append history file finished %ld dp, %ld ms",
                                static_cast<long>(fresh.size()), watch.Milliseconds());
    }
    EmitChanged();
    return outcome;
}

HistoryOutcome CHistoryData::Delete(const Path& path, std::span<const CDataset> chosen) {
    CriticalSectionLock lock(m_lock);
    HistoryFileLock fileLock;
    if (HistoryOutcome locked = LockForWriting(path, false, fileLock); !locked)
        return locked;
    bool reread = false;
    if (fileLock.Stamp() != m_stamp) {
        if (!ReadLocked(path, fileLock)) {
            EmitChanged();
            return HistoryOutcome::Failure(std::strerror(errno));
        }
        reread = true;
    }
    const std::vector<CDataset>& held = m_datasets.Get();
    if (const auto reason = NotAHistoryFile(m_damage, held.size())) {
        if (reread)
            EmitChanged();
        return HistoryOutcome::Failure("it is not a history file: " + *reason);
    }
    std::vector<bool> doomed(held.size(), false);
    std::vector<CDataset> missing;
    const std::vector<std::optional<std::size_t>> found = FindInHistory(held, chosen);
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (found[i])
            doomed[*found[i]] = true;
        else
            missing.push_back(chosen[i]);
    }
    HistoryOutcome outcome;
    if (!missing.empty()) {
        outcome = HistoryOutcome::Failure(NoLongerInFile(missing));
    } else {
        std::vector<CDataset> kept;
        kept.reserve(held.size());
        for (std::size_t i = 0; i < held.size(); ++i)
            if (!doomed[i])
                kept.push_back(held[i]);
        HistoryFileStamp written;
        outcome = WriteHistoryFileReplacing(
            path, [&](std::ostream& out) { return WriteHistoryRecords(out, kept); }, &written);
        if (outcome) {
            m_datasets.Replace(std::move(kept));
            m_stamp = written;
        }
    }
    if (outcome || reread)
        EmitChanged();
    return outcome;
}

HistoryOutcome CHistoryData::Export(const Path& path, const ColumnFormat& format,
                                    std::span<const Path> historyFiles, ExportFormat exportFormat) const {
    CriticalSectionLock lock(m_lock);
    const auto writer = MakeExportWriter(exportFormat, format, TransmittersWithValues(m_datasets.Get()));
    HistoryOutcome outcome = ExportHistory(path, historyFiles, *writer, [this](const auto& write) {
        for (const CDataset& dataset : m_datasets.Get())
            if (!write(dataset))
                return false;
        return true;
    });
    if (!outcome)
        CLogger::Instance().Log(10, "Export to %s failed: %s", path.string().c_str(), outcome.reason.c_str());
    return outcome;
}

void CHistoryData::RemoveKnown(std::vector<CDataset>& datasets) const {
    CriticalSectionLock lock(m_lock);
    // The store is sorted, so a binary search finds the run of a date-time.
    const auto known = [this](const CDataset& dataset) {
        const auto [first, last] =
            std::equal_range(m_datasets.Get().begin(), m_datasets.Get().end(), dataset, HistoryOrder);
        return std::any_of(first, last, [&](const CDataset& held) { return SameMeasurement(held, dataset); });
    };
    datasets.erase(std::remove_if(datasets.begin(), datasets.end(), known), datasets.end());
}

bool IsSameHistoryFile(const fs::path& a, const fs::path& b) {
    return IsSameFile(a, b);
}

std::string HistoryTitle(const fs::path& path, std::size_t count) {
    return path.filename().string() + " (" + std::to_string(count) + ")";
}
