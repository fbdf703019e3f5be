#include "history/SqliteExport.h"

#include <sqlite3.h>

namespace {

const char* SqlType(ExportColumn::Kind kind) {
    switch (kind) {
    case ExportColumn::Kind::DateTime:
        return "TEXT";
    case ExportColumn::Kind::Temperature:
        return "REAL";
    case ExportColumn::Kind::Humidity:
        break;
    }
    return "INTEGER";
}

} // namespace

SqliteExportWriter::SqliteExportWriter(const std::filesystem::path& file, int transmitters, bool fahrenheit)
    : m_file(file), m_columns(ExportColumns(transmitters)), m_fahrenheit(fahrenheit) {
    std::error_code error;
    m_created = !std::filesystem::exists(file, error);
    try {
        Begin();
    } catch (...) {
        Discard();
        throw;
    }
}

void SqliteExportWriter::Begin() {
    if (sqlite3_open_v2(m_file.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK)
        Fail("cannot be opened");
    // Fails at once for a file that is not a database, before anything is changed.
    Execute("BEGIN IMMEDIATE");
    Execute(std::string("DROP TABLE IF EXISTS ") + TableName);
    std::string create = std::string("CREATE TABLE ") + TableName + " (";
    std::string insert = std::string("INSERT INTO ") + TableName + " VALUES (";
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (i != 0) {
            create += ", ";
            insert += ", ";
        }
        create += ExportColumnName(m_columns[i], m_fahrenheit) + " " + SqlType(m_columns[i].kind);
        insert += "?";
    }
    Execute(create + ")");
    if (sqlite3_prepare_v2(m_db, (insert + ")").c_str(), -1, &m_insert, nullptr) != SQLITE_OK)
        Fail("cannot be written");
}

SqliteExportWriter::~SqliteExportWriter() {
    if (m_finished)
        Close();
    else
        Discard();
}

void SqliteExportWriter::Discard() {
    // Closing rolls the open transaction back; a file made for this export goes again.
    Close();
    if (m_created) {
        std::error_code ignored;
        std::filesystem::remove(m_file, ignored);
        std::filesystem::remove(m_file.string() + "-journal", ignored);
    }
}

void SqliteExportWriter::Add(const CDataset& dataset) {
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const int parameter = static_cast<int>(i) + 1;
        const ExportColumn& column = m_columns[i];
        int result = SQLITE_OK;
        if (column.kind == ExportColumn::Kind::DateTime) {
            const auto text = IsoDateTime(dataset.GetDateTime());
            result = text ? sqlite3_bind_text(m_insert, parameter, text->c_str(), -1, SQLITE_TRANSIENT)
                          : sqlite3_bind_null(m_insert, parameter);
        } else if (column.kind == ExportColumn::Kind::Temperature) {
            const auto value = TemperatureValue(dataset.GetTemperature(column.sensor), m_fahrenheit);
            result = value ? sqlite3_bind_double(m_insert, parameter, *value)
                           : sqlite3_bind_null(m_insert, parameter);
        } else {
            const auto value = HumidityValue(dataset.GetHumidity(column.sensor));
            result = value ? sqlite3_bind_int(m_insert, parameter, *value)
                           : sqlite3_bind_null(m_insert, parameter);
        }
        if (result != SQLITE_OK)
            Fail("cannot be written");
    }
    if (sqlite3_step(m_insert) != SQLITE_DONE)
        Fail("cannot be written");
    sqlite3_reset(m_insert);
}

void SqliteExportWriter::Finish() {
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    Execute("COMMIT");
    m_finished = true;
    Close();
}

void SqliteExportWriter::Execute(const std::string& statement) {
    if (sqlite3_exec(m_db, statement.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail("cannot be written");
}

void SqliteExportWriter::Fail(const std::string& what) {
    const std::string reason = m_db ? sqlite3_errmsg(m_db) : "out of memory";
    throw ExportError("database '" + m_file.string() + "' " + what + ": " + reason);
}

void SqliteExportWriter::Close() {
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    sqlite3_close(m_db);
    m_db = nullptr;
}
