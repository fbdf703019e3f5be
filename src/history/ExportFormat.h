#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

// The formats the history is exported in.
enum class ExportFormat { Text, Csv, Sqlite };

// "text", "csv", "sqlite"; nothing for any other name.
std::optional<ExportFormat> ExportFormatFromName(std::string_view name);
// By the file's extension, ignoring case: ".csv" CSV, ".sqlite", ".sqlite3", ".db" SQLite,
// anything else the text format.
ExportFormat ExportFormatForFile(const std::filesystem::path& file);
