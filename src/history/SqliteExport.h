#pragma once

#include "history/ExportColumns.h"
#include "history/ExportLineFormat.h"
#include "history/HistoryExport.h"

#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The history as one table of an SQLite database: one row per dataset, the date-time as ISO 8601
// text, temperatures REAL and humidities INTEGER in the unit the column name says, NULL where a
// value is missing or overflowed. Each value column has an INTEGER "<column>_overflow" column
// after all value columns: 1 where the sensor's range overflowed, else 0, so an overflow stays
// distinct from a missing value while sums and means over a column leave both out.
// The export's table is replaced in the new file beside the target, which starts as a copy of an
// existing database and so keeps its other tables; every row goes in through one prepared
// statement in one transaction.
class SqliteExportWriter : public ExportWriter {
public:
    static constexpr const char* TableName = "measurements";

    SqliteExportWriter(int transmitters, bool fahrenheit);
    ~SqliteExportWriter() override;
    SqliteExportWriter(const SqliteExportWriter&) = delete;
    SqliteExportWriter& operator=(const SqliteExportWriter&) = delete;

    // Needs a file: standard output is refused.
    HistoryOutcome Open(const ExportDestination& destination) override;
    bool Write(const CDataset& dataset) override;
    HistoryOutcome Close() override;

private:
    bool Begin(const ExportDestination& destination);
    bool Execute(const std::string& statement);
    // Keeps the first failure, with the database's reason.
    bool Fail();
    void Release();

    std::vector<ExportColumn> m_columns;
    bool m_fahrenheit;
    ExportLineFormatter m_values;
    std::vector<char> m_dateTime; // the text bound to the current row
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_insert = nullptr;
    std::string m_failure;
};
