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

bool IsOverflow(const CDataset& dataset, const ExportColumn& column) {
    return column.kind == ExportColumn::Kind::Temperature
               ? dataset.GetTemperature(column.sensor) == CDataset::TemperatureOverflow
               : dataset.GetHumidity(column.sensor) == CDataset::HumidityOverflow;
}

} // namespace

SqliteExportWriter::SqliteExportWriter(int transmitters, bool fahrenheit)
    : m_columns(ExportColumns(transmitters)), m_fahrenheit(fahrenheit),
      m_values(ColumnFormat{"%Y-%m-%dT%H:%M:%S", fahrenheit}), m_dateTime(m_values.MaxLineSize()) {}

SqliteExportWriter::~SqliteExportWriter() {
    Release();
}

HistoryOutcome SqliteExportWriter::Open(const ExportDestination& destination) {
    Release();
    m_failure.clear();
    if (destination.file.empty())
        return HistoryOutcome::Failure("an SQLite export needs a file");
    if (!Begin(destination)) {
        Release();
        return HistoryOutcome::Failure(m_failure);
    }
    return HistoryOutcome::Success();
}

bool SqliteExportWriter::Begin(const ExportDestination& destination) {
    // The new file starts as a copy of the database it replaces; a failure leaves the target as
    // it was, and no journal beside the target is ever written.
    if (const int error = CopyInto(destination.replaced, destination.fd); error != 0) {
        m_failure = std::string("the database cannot be copied: ") + std::strerror(error);
        return false;
    }
    if (sqlite3_open_v2(destination.file.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW,
                        nullptr) != SQLITE_OK)
        return Fail();
    // The copy is thrown away on failure, never rolled back, so it needs no journal; and it is
    // renamed into place only once complete, so nothing needs syncing on the way. Without a
    // journal, full pages go to the file as they fill, and memory does not grow with the table.
    // BEGIN fails at once for a file that is not a database, before anything is changed.
    if (!Execute("PRAGMA journal_mode=OFF") || !Execute("PRAGMA synchronous=OFF") ||
        !Execute("BEGIN IMMEDIATE") || !Execute(std::string("DROP TABLE IF EXISTS ") + TableName))
        return false;
    std::string create = std::string("CREATE TABLE ") + TableName + " (";
    std::string insert = std::string("INSERT INTO ") + TableName + " VALUES (";
    std::string flags;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const ExportColumn& column = m_columns[i];
        const std::string name = ExportColumnName(column, m_fahrenheit);
        create += (i != 0 ? ", " : "") + name + " " + SqlType(column.kind);
        insert += i != 0 ? ", ?" : "?";
        if (column.kind != ExportColumn::Kind::DateTime)
            flags += ", " + name + "_overflow INTEGER NOT NULL";
    }
    // The flags' parameters follow the values', one for each value column.
    for (std::size_t i = 1; i < m_columns.size(); ++i)
        insert += ", ?";
    if (!Execute(create + flags + ")"))
        return false;
    if (sqlite3_prepare_v2(m_db, (insert + ")").c_str(), -1, &m_insert, nullptr) != SQLITE_OK)
        return Fail();
    return true;
}

bool SqliteExportWriter::Write(const CDataset& dataset) {
    if (!m_insert)
        return false;
    const int flagOffset = static_cast<int>(m_columns.size()) - 1;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const int parameter = static_cast<int>(i) + 1;
        const ExportColumn& column = m_columns[i];
        int result = SQLITE_OK;
        if (column.kind == ExportColumn::Kind::DateTime) {
            // The common values are written by the export's digit code, the rest as the table shows them.
            if (dataset.GetDateTime().GetStatus() == CDateTime::valid) {
                const char* end = m_values.WriteDateTime(m_dateTime.data(), dataset.GetDateTime());
                result = sqlite3_bind_text(m_insert, parameter, m_dateTime.data(),
                                           int(end - m_dateTime.data()), SQLITE_STATIC);
            } else {
                result = sqlite3_bind_null(m_insert, parameter);
            }
        } else {
            if (column.kind == ExportColumn::Kind::Temperature) {
                const float celsius = dataset.GetTemperature(column.sensor);
                const std::optional<int> tenths = m_values.TemperatureTenths(celsius);
                const auto value =
                    tenths ? std::optional<double>(*tenths / 10.0) : TemperatureValue(celsius, m_fahrenheit);
                result = value ? sqlite3_bind_double(m_insert, parameter, *value)
                               : sqlite3_bind_null(m_insert, parameter);
            } else {
                const float humidity = dataset.GetHumidity(column.sensor);
                const std::optional<int> whole = ExportLineFormatter::WholeHumidity(humidity);
                const auto value = whole ? whole : HumidityValue(humidity);
                result = value ? sqlite3_bind_int(m_insert, parameter, *value)
                               : sqlite3_bind_null(m_insert, parameter);
            }
            if (result == SQLITE_OK)
                result =
                    sqlite3_bind_int(m_insert, parameter + flagOffset, IsOverflow(dataset, column) ? 1 : 0);
        }
        if (result != SQLITE_OK)
            return Fail();
    }
    if (sqlite3_step(m_insert) != SQLITE_DONE)
        return Fail();
    sqlite3_reset(m_insert);
    return true;
}

HistoryOutcome SqliteExportWriter::Close() {
    if (m_failure.empty() && !m_db)
        m_failure = "the export file is not open";
    if (m_failure.empty()) {
        sqlite3_finalize(m_insert);
        m_insert = nullptr;
        Execute("COMMIT");
    }
    Release();
    return m_failure.empty() ? HistoryOutcome::Success() : HistoryOutcome::Failure(m_failure);
}

bool SqliteExportWriter::Execute(const std::string& statement) {
    return sqlite3_exec(m_db, statement.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK || Fail();
}

bool SqliteExportWriter::Fail() {
    if (m_failure.empty())
        m_failure = m_db ? sqlite3_errmsg(m_db) : "out of memory";
    return false;
}

void SqliteExportWriter::Release() {
    sqlite3_finalize(m_insert);
    m_insert = nullptr;
    if (m_db && sqlite3_close(m_db) != SQLITE_OK && m_failure.empty())
        m_failure = sqlite3_errmsg(m_db);
    m_db = nullptr;
}
