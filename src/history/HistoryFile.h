#pragma once

#include "station/Dataset.h"

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <span>
#include <vector>

// History files: a plain sequence of 56-byte records, no header. An empty file holds no datasets;
// a final incomplete record is ignored.

// Appends every record of the stream to datasets (not sorted here).
void ReadHistoryRecords(std::istream& stream, std::vector<CDataset>& datasets);
// Writes the datasets in order; false when the stream failed (the rest is skipped).
bool WriteHistoryRecords(std::ostream& stream, std::span<const CDataset> datasets);

// Replaces the first record whose date-time equals the dataset's, in place. True when nothing
// matched (nothing written) or the record was rewritten; false when positioning or writing failed.
bool ReplaceHistoryRecord(std::iostream& stream, const CDataset& dataset);

// Writes a whole file beside the old one and renames it over, so a crash or a full disk leaves
// either the old or the new file, never a truncated one.
// write() fills the new file and reports whether every byte was written.
bool WriteHistoryFileReplacing(const std::filesystem::path& path,
                               const std::function<bool(std::ostream&)>& write);
// Forces the data of a file, or the entries of a folder, to the disk; false when that failed.
bool SyncToDisk(const std::filesystem::path& path, bool folder);
using DiskSync = std::function<bool(const std::filesystem::path& path, bool folder)>;

// Appends to a file, creating it, and returns only once the records are on disk: the file is
// synced, and its folder too when the file was new. A trailing incomplete record (never readable)
// is cut off first so the new records stay aligned; a failed write or sync cuts the file back to
// where it was, so records reported as not appended cannot turn up later.
bool AppendHistoryFile(const std::filesystem::path& path, const std::function<bool(std::ostream&)>& write,
                       const DiskSync& sync = SyncToDisk);
