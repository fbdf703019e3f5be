#include "history/SqliteExport.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Copies the existing file into the descriptor; 0, or the errno of the failure. A missing file
// copies as nothing (a new database).
int CopyInto(const std::filesystem::path& file, int fd) {
    const int in = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno == ENOENT ? 0 : errno;
    std::vector<char> block(1 << 16);
    int error = 0;
    for (;;) {
        const ssize_t got = ::read(in, block.data(), block.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            break;
        }
        for (ssize_t done = 0; done < got && error == 0;) {
            const ssize_t put = ::write(fd, block.data() + done, std::size_t(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                error = put < 0 ? errno : ENOSPC;
            else
                done += put;
        }
        if (error != 0)
            break;
    }
    ::close(in);
    return error;
}

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
    : m_file(file), m_replacement(file), m_columns(ExportColumns(transmitters)), m_fahrenheit(fahrenheit) {
    try {
        Begin();
    } catch (...) {
        Discard();
        throw;
    }
}

void SqliteExportWriter::Begin() {
    // The database is changed in a copy that replaces it once complete, as every export file is:
    // no journal beside the target is ever written, and a failure leaves the target as it was.
    if (!m_replacement.Started())
        throw ExportError("database '" + m_file.string() + "' cannot be written: " + m_replacement.Reason());
    if (const int error = CopyInto(m_replacement.Target(), m_replacement.Descriptor()); error != 0)
        throw ExportError("database '" + m_file.string() + "' cannot be copied: " + std::strerror(error));
    if (sqlite3_open_v2(m_replacement.Temporary().c_str(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr) != SQLITE_OK)
        Fail("cannot be opened");
    // The copy is thrown away on failure, so the rollback needs no journal file.
    Execute("PRAGMA journal_mode=MEMORY");
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
    Discard(); // after Finish, nothing is left to discard
}

void SqliteExportWriter::Discard() {
    Close();
    m_replacement.Abandon();
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
    Close();
    if (!m_replacement.Commit(false))
        throw ExportError("database '" + m_file.string() + "' cannot be written: " + m_replacement.Reason());
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
