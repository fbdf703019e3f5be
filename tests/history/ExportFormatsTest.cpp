#include "HistoryTestSupport.h"
#include "TempDir.h"

#include "history/ExportWriters.h"
#include "history/TransmittersPresent.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Three datasets with one transmitter: plain values, a negative temperature with a missing
// humidity, an overflow and a missing indoor value. Transmitters 2..5 have nothing.
std::vector<CDataset> Fixture() {
    CDataset first = MakeDataset(2026, 12, 8, 14, 35, 21.5f, 45.0f);
    first.SetTemperature(1, -3.2f);
    first.SetHumidity(1, 88.0f);
    CDataset second = MakeDataset(2026, 12, 8, 14, 40, 20.0f, 46.0f);
    second.SetTemperature(1, -0.04f);
    CDataset third = MakeDataset(2026, 12, 9, 0, 5, CDataset::TemperatureNotAvailable, 47.0f);
    third.SetTemperature(1, CDataset::TemperatureOverflow);
    third.SetHumidity(1, CDataset::HumidityOverflow);
    return {first, second, third};
}

// An RFC 4180 reader, written apart from the writer: quoted fields may hold commas, doubled
// quotes and line breaks; records end in CR LF.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            record.push_back(field);
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            record.push_back(field);
            field.clear();
            records.push_back(record);
            record.clear();
            ++i;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(record.empty() && field.empty()) << "the last record ends in CR LF";
    return records;
}

// The datasets exported into file through the one export routine; the source stops after
// `fed` datasets when given, as a failed read would.
HistoryOutcome ExportInto(const std::filesystem::path& file, ExportFormat exportFormat,
                          const std::vector<CDataset>& datasets, const ColumnFormat& format = {},
                          std::size_t fed = SIZE_MAX) {
    const auto writer = MakeExportWriter(exportFormat, format, TransmittersWithValues(datasets));
    return ExportHistory(file, {}, *writer, [&](const auto& write) {
        for (std::size_t i = 0; i < datasets.size(); ++i)
            if (i == fed || !write(datasets[i]))
                return false;
        return true;
    });
}

std::string Csv(const std::vector<CDataset>& datasets, bool fahrenheit) {
    TempDir dir;
    const HistoryOutcome outcome =
        ExportInto(dir / "out.csv", ExportFormat::Csv, datasets, ColumnFormat{"%d.%m.%Y %H:%M", fahrenheit});
    EXPECT_TRUE(outcome) << outcome.reason;
    return ReadWholeFile(dir / "out.csv");
}

} // namespace

TEST(ExportFormatTest, NamesAndFileTypes) {
    EXPECT_EQ(ExportFormatFromName("text"), ExportFormat::Text);
    EXPECT_EQ(ExportFormatFromName("csv"), ExportFormat::Csv);
    EXPECT_EQ(ExportFormatFromName("sqlite"), ExportFormat::Sqlite);
    EXPECT_EQ(ExportFormatFromName("CSV"), std::nullopt);
    const std::pair<const char*, ExportFormat> files[] = {
        {"a.csv", ExportFormat::Csv},        {"a.CSV", ExportFormat::Csv},
        {"a.db", ExportFormat::Sqlite},      {"a.sqlite", ExportFormat::Sqlite},
        {"a.Sqlite3", ExportFormat::Sqlite}, {"a.txt", ExportFormat::Text},
        {"csv", ExportFormat::Text},         {"a.csv.txt", ExportFormat::Text},
        {"dir.db/a", ExportFormat::Text},
    };
    for (const auto& [file, format] : files)
        EXPECT_EQ(ExportFormatForFile(file), format) << file;
}

// Missing values are empty fields, overflows "OFL": the two stay apart.
TEST(CsvExportTest, ValuesUnitsAndDateTimesReadBack) {
    const auto records = ParseCsv(Csv(Fixture(), false));
    const std::vector<std::vector<std::string>> expected = {
        {"Date Time", "Indoor Temperature (°C)", "Indoor Humidity (%)", "Outdoor Temperature 1 (°C)",
         "Outdoor Humidity 1 (%)"},
        {"2026-12-08T14:35:00", "21.5", "45", "-3.2", "88"},
        {"2026-12-08T14:40:00", "20.0", "46", "0.0", ""},
        {"2026-12-09T00:05:00", "", "47", "OFL", "OFL"},
    };
    EXPECT_EQ(records, expected);
}

TEST(CsvExportTest, FahrenheitSaysSoInTheHeader) {
    const auto records = ParseCsv(Csv({MakeDataset(2026, 12, 8, 14, 35, 20.0f, 45.0f)}, true));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0][1], "Indoor Temperature (°F)");
    EXPECT_EQ(records[1][1], "68.0");
}

TEST(CsvExportTest, EmptyHistoryIsTheHeaderOnly) {
    EXPECT_EQ(Csv({}, false), "Date Time,Indoor Temperature (°C),Indoor Humidity (%)\r\n");
}

TEST(CsvExportTest, AFailedWriteIsReported) {
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    const auto writer = MakeExportWriter(ExportFormat::Csv, ColumnFormat{}, 1);
    ASSERT_TRUE(writer->Open({full, {}, {}}));
    for (const CDataset& dataset : Fixture())
        writer->Write(dataset);
    const HistoryOutcome closed = writer->Close();
    ::close(full);
    EXPECT_FALSE(closed);
    EXPECT_EQ(closed.reason, "No space left on device");
}

namespace {

class SqliteExportTest : public ::testing::Test {
protected:
    sqlite3* Open() {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        return db;
    }
    // Every row of a query, each value as "type:text".
    std::vector<std::vector<std::string>> Query(const std::string& sql) {
        sqlite3* db = Open();
        sqlite3_stmt* statement = nullptr;
        std::vector<std::vector<std::string>> rows;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        while (statement && sqlite3_step(statement) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                const unsigned char* text = sqlite3_column_text(statement, i);
                const int kind = sqlite3_column_type(statement, i);
                const std::string storage = kind == SQLITE_NULL      ? "null"
                                            : kind == SQLITE_INTEGER ? "integer"
                                            : kind == SQLITE_FLOAT   ? "real"
                                                                     : "text";
                row.push_back(storage + ":" + (text ? reinterpret_cast<const char*>(text) : ""));
            }
            rows.push_back(row);
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return rows;
    }
    void Execute(const std::string& sql) {
        sqlite3* db = Open();
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    TempDir dir;
    std::filesystem::path file = dir / "station.db";
};

} // namespace

// NULL where a value is missing or overflowed; the overflow flags tell the two apart.
TEST_F(SqliteExportTest, OneTypedRowPerDatasetWithNullForMissingValuesAndOverflowFlags) {
    ASSERT_TRUE(ExportInto(file, ExportFormat::Sqlite, Fixture()));
    const std::vector<std::vector<std::string>> expected = {
        {"text:2026-12-08T14:35:00", "real:21.5", "integer:45", "real:-3.2", "integer:88", "integer:0",
         "integer:0", "integer:0", "integer:0"},
        {"text:2026-12-08T14:40:00", "real:20.0", "integer:46", "real:0.0", "null:", "integer:0", "integer:0",
         "integer:0", "integer:0"},
        {"text:2026-12-09T00:05:00", "null:", "integer:47", "null:", "null:", "integer:0", "integer:0",
         "integer:1", "integer:1"},
    };
    EXPECT_EQ(Query("SELECT * FROM measurements"), expected);
    EXPECT_EQ(
        Query("SELECT name, type FROM pragma_table_info('measurements')"),
        (std::vector<std::vector<std::string>>{{"text:date_time", "text:TEXT"},
                                               {"text:indoor_temperature_c", "text:REAL"},
                                               {"text:indoor_humidity_pct", "text:INTEGER"},
                                               {"text:outdoor_temperature_1_c", "text:REAL"},
                                               {"text:outdoor_humidity_1_pct", "text:INTEGER"},
                                               {"text:indoor_temperature_c_overflow", "text:INTEGER"},
                                               {"text:indoor_humidity_pct_overflow", "text:INTEGER"},
                                               {"text:outdoor_temperature_1_c_overflow", "text:INTEGER"},
                                               {"text:outdoor_humidity_1_pct_overflow", "text:INTEGER"}}));
}

TEST_F(SqliteExportTest, ExistingDatabaseKeepsItsOtherTablesAndGetsTheTableReplaced) {
    Execute("CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('keep me');"
            "CREATE TABLE measurements (old INTEGER); INSERT INTO measurements VALUES (1), (2);");
    const std::vector<CDataset> one{MakeDataset(2026, 12, 8, 14, 35, 20.0f, 45.0f)};
    ASSERT_TRUE(ExportInto(file, ExportFormat::Sqlite, one, ColumnFormat{"", true}));
    EXPECT_EQ(Query("SELECT * FROM notes"), (std::vector<std::vector<std::string>>{{"text:keep me"}}));
    EXPECT_EQ(Query("SELECT indoor_temperature_f, indoor_humidity_pct FROM measurements"),
              (std::vector<std::vector<std::string>>{{"real:68.0", "integer:45"}}));
}

TEST_F(SqliteExportTest, AFileThatIsNotADatabaseIsRefusedAndLeftAlone) {
    WriteWholeFile(file, "my notes, not a database");
    const HistoryOutcome refused = ExportInto(file, ExportFormat::Sqlite, Fixture());
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.reason.find("not a database"), std::string::npos) << refused.reason;
    EXPECT_EQ(ReadWholeFile(file), "my notes, not a database");
}

TEST_F(SqliteExportTest, AnUnfinishedExportLeavesTheOldTableAndNoNewFile) {
    Execute("CREATE TABLE measurements (old INTEGER); INSERT INTO measurements VALUES (7);");
    EXPECT_FALSE(ExportInto(file, ExportFormat::Sqlite, Fixture(), {}, 1));
    EXPECT_EQ(Query("SELECT * FROM measurements"), (std::vector<std::vector<std::string>>{{"integer:7"}}));

    const std::filesystem::path fresh = dir / "fresh.db";
    EXPECT_FALSE(ExportInto(fresh, ExportFormat::Sqlite, Fixture(), {}, 1));
    EXPECT_FALSE(std::filesystem::exists(fresh));
    EXPECT_EQ(FilesIn(dir.path()), 1u) << "no new file left beside it";
}

TEST(SqliteExportWriterTest, StandardOutputIsRefused) {
    const auto writer = MakeExportWriter(ExportFormat::Sqlite, ColumnFormat{}, 0);
    const HistoryOutcome opened = writer->Open({STDOUT_FILENO, {}, {}});
    EXPECT_FALSE(opened);
    EXPECT_EQ(opened.reason, "an SQLite export needs a file");
}
