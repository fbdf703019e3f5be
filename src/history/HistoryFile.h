#pragma once

#include "history/HistoryDamage.h"
#include "history/HistoryFileLock.h"
#include "history/HistoryOutcome.h"
#include "station/Dataset.h"

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <span>
#include <vector>

// History files: a plain sequence of 56-byte records, no header. An empty file holds no datasets;
// a final incomplete record is not read (and counted as damage).

// Appends every record of the stream to datasets (not sorted here); counts into damage, when
// given, the bytes of a trailing incomplete record and records no station can produce. True when
// the appended datasets follow the last one there before, and each other, in HistoryOrder.
bool ReadHistoryRecords(std::istream& stream, std::vector<CDataset>& datasets,
                        HistoryDamage* damage = nullptr);
// Calls visit for every record of the stream in file order, a block at a time (memory does not
// grow with the file); stops early when visit returns false. False when visiting stopped.
bool VisitHistoryRecords(std::istream& stream, const std::function<bool(const CDataset&)>& visit,
                         HistoryDamage* damage = nullptr);
// Calls visit with the records of the stream in file order, a block of a few thousand at a time
// (memory does not grow with the file); stops early when visit returns false. False when visiting
// stopped. The damage counts are those of ReadHistoryRecords.
bool VisitHistoryBlocks(std::istream& stream, const std::function<bool(std::span<const CDataset>)>& visit,
                        HistoryDamage* damage = nullptr);
// Whether every dataset follows the one before it in HistoryOrder.
bool IsInHistoryOrder(std::span<const CDataset> datasets);
// Writes the datasets in order; false when the stream failed (the rest is skipped).
bool WriteHistoryRecords(std::ostream& stream, std::span<const CDataset> datasets);

// Replaces the first record that is the original (date-time and values) with the edited dataset,
// in place. NotFound when no record matched (nothing written); Failed when positioning or writing
// failed.
enum class ReplaceResult { Replaced, NotFound, Failed };
ReplaceResult ReplaceHistoryRecord(std::iostream& stream, const CDataset& original, const CDataset& edited);

// Writes a whole file beside the old one, syncs it and renames it over, so a crash or a full disk
// leaves either the old or the new file, never a truncated one. write() fills the new file and
// reports whether every byte was written. The caller holds the file's lock; the new file is
// locked too until it is in place, and its stamp then goes to written when given.
HistoryOutcome WriteHistoryFileReplacing(const std::filesystem::path& path,
                                         const std::function<bool(std::ostream&)>& write,
                                         HistoryFileStamp* written = nullptr);
// Forces the data of a file, or the entries of a folder, to the disk; false when that failed.
bool SyncToDisk(const std::filesystem::path& path, bool folder);
using DiskSync = std::function<bool(const std::filesystem::path& path, bool folder)>;

// Appends to a file, creating it, and returns only once the records are on disk: the file is
// synced, and its folder too when the file was new or empty. A trailing incomplete record (never
// readable) is cut off first so the new records stay aligned; a failed write or sync cuts the file
// back to where it was, so records reported as not appended cannot turn up later. The caller holds
// the file's lock.
HistoryOutcome AppendHistoryFile(const std::filesystem::path& path,
                                 const std::function<bool(std::ostream&)>& write,
                                 const DiskSync& sync = SyncToDisk);
