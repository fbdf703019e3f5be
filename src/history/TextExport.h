#pragma once

#include "station/Dataset.h"

#include <filesystem>
#include <span>
#include <string>

// The semicolon-separated export: a fixed English header, then one line per dataset with the 13
// column texts, every field in double quotes. Lines end in CR LF on every platform.
extern const char* const ExportHeader;
constexpr const char* ExportLineEnd = "\r\n";

// Appends one dataset's line, line end included.
void AppendExportLine(std::string& out, const CDataset& dataset, const ColumnFormat& format);

// Writes the whole export, replacing an existing file. False when the file could not be opened or
// not every byte reached it (a full disk is reported, not hidden).
bool WriteTextExport(const std::filesystem::path& path, std::span<const CDataset> datasets,
                     const ColumnFormat& format);
