#pragma once

#include "base/FileReplacement.h"
#include "history/ExportColumns.h"
#include "history/ExportFormatWriter.h"

#include <filesystem>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The history as one table of an SQLite database: one row per dataset, the date-time as ISO 8601
// text, temperatures REAL and humidities INTEGER in the unit the column name says, NULL where a
// value is missing. An existing database keeps its other tables; the export's table is replaced in
// a copy of the database that replaces the file once complete, so a failure leaves it as it was.
class SqliteExportWriter : public ExportFormatWriter {
public:
    static constexpr const char* TableName = "measurements";

    SqliteExportWriter(const std::filesystem::path& file, int transmitters, bool fahrenheit);
    ~SqliteExportWriter() override;
    SqliteExportWriter(const SqliteExportWriter&) = delete;
    SqliteExportWriter& operator=(const SqliteExportWriter&) = delete;

    void Add(const CDataset& dataset) override;
    void Finish() override;

private:
    void Begin();
    void Discard();
    void Execute(const std::string& statement);
    [[noreturn]] void Fail(const std::string& what);
    void Close();

    std::filesystem::path m_file;
    FileReplacement m_replacement;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_insert = nullptr;
    std::vector<ExportColumn> m_columns;
    bool m_fahrenheit;
};
