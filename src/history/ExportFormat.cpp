#include "history/ExportFormat.h"

#include <algorithm>
#include <cctype>
#include <string>

std::optional<ExportFormat> ExportFormatFromName(std::string_view name) {
    if (name == "text")
        return ExportFormat::Text;
    if (name == "csv")
        return ExportFormat::Csv;
    if (name == "sqlite")
        return ExportFormat::Sqlite;
    return std::nullopt;
}

ExportFormat ExportFormatForFile(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".csv")
        return ExportFormat::Csv;
    if (extension == ".sqlite" || extension == ".sqlite3" || extension == ".db")
        return ExportFormat::Sqlite;
    return ExportFormat::Text;
}
