#include "CliFixture.h"

#include "history/HistoryData.h"

namespace {

using Record = std::vector<std::string>;

// A reader written from RFC 4180 alone, without the program's own writer: records end in CRLF,
// fields are separated by commas, a quoted field may hold commas, CRLF and doubled quotes. Any
// other shape (a bare LF, a quote inside an unquoted field, a missing last CRLF) fails the test.
std::vector<Record> ReadRfc4180(const std::string& text) {
    std::vector<Record> records;
    Record record;
    std::string field;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            ++i;
            for (;;) {
                if (i >= text.size()) {
                    ADD_FAILURE() << "unterminated quoted field";
                    return records;
                }
                if (text[i] == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    i += 2;
                } else if (text[i] == '"') {
                    ++i;
                    break;
                } else {
                    field += text[i++];
                }
            }
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
                if (text[i] == '"')
                    ADD_FAILURE() << "quote inside an unquoted field at " << i;
                field += text[i++];
            }
        }
        record.push_back(std::move(field));
        field.clear();
        if (i < text.size() && text[i] == ',') {
            ++i;
            continue;
        }
        if (text.compare(i, 2, "\r\n") != 0) {
            ADD_FAILURE() << "record not ended by CRLF at " << i;
            return records;
        }
        i += 2;
        records.push_back(std::move(record));
        record.clear();
    }
    return records;
}

CDataset Measured(const CDateTime& at, float indoor, float humidity, float outdoor, float outdoorHumidity) {
    CDataset dataset;
    dataset.SetDateTime(at);
    dataset.SetTemperature(0, indoor);
    dataset.SetHumidity(0, humidity);
    dataset.SetTemperature(1, outdoor);
    dataset.SetHumidity(1, outdoorHumidity);
    return dataset;
}

class CliStatsTest : public CliTest {
protected:
    void SetUp() override {
        // Three days across a year's end, all in ISO week 1 of 2025.
        const std::vector<CDataset> datasets = {
            Measured(CDateTime(2024, 12, 30, 6, 35, 0), 20.0f, 40.0f, -3.2f, 90.0f),
            Measured(CDateTime(2024, 12, 31, 23, 59, 0), 25.0f, 45.0f, CDataset::TemperatureNotAvailable,
                     CDataset::HumidityNotAvailable),
            Measured(CDateTime(2025, 1, 1, 0, 0, 0), 15.0f, 50.0f, -5.0f, CDataset::HumidityOverflow),
        };
        CHistoryData store;
        ASSERT_TRUE(store.Append(Path("history.nvh"), datasets));
        WriteWholeFile(Path("fahrenheit.xml"), "<options><TemperatureFormat value=\"1\"/></options>");
    }
};

} // namespace

TEST_F(CliStatsTest, CsvReadsBackWithTheFixedColumns) {
    const CliResult r = Run({"stats", "--by", "week", "--format", "csv"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<Record> expected = {
        {"period", "quantity", "unit", "count", "min", "min_at", "max", "max_at", "mean"},
        {"2025-W01", "indoor_temperature", "°C", "3", "15.0", "2025-01-01T00:00", "25.0", "2024-12-31T23:59",
         "20.00"},
        {"2025-W01", "indoor_humidity", "%", "3", "40", "2024-12-30T06:35", "50", "2025-01-01T00:00",
         "45.00"},
        {"2025-W01", "outdoor1_temperature", "°C", "2", "-5.0", "2025-01-01T00:00", "-3.2",
         "2024-12-30T06:35", "-4.10"},
        {"2025-W01", "outdoor1_humidity", "%", "1", "90", "2024-12-30T06:35", "90", "2024-12-30T06:35",
         "90.00"},
    };
    EXPECT_EQ(ReadRfc4180(r.out), expected);

    const CliResult years = Run({"--options", "fahrenheit.xml", "stats", "--by", "year", "--format", "csv"});
    ASSERT_EQ(years.exitCode, 0) << years.err;
    const std::vector<Record> records = ReadRfc4180(years.out);
    ASSERT_EQ(records.size(), 8u);
    EXPECT_EQ(records[1], (Record{"2024", "indoor_temperature", "°F", "2", "68.0", "2024-12-30T06:35", "77.0",
                                  "2024-12-31T23:59", "72.50"}));
    EXPECT_EQ(records[5], (Record{"2025", "indoor_temperature", "°F", "1", "59.0", "2025-01-01T00:00", "59.0",
                                  "2025-01-01T00:00", "59.00"}));
    EXPECT_EQ(records[2][2], "%");                    // humidities stay in percent
    EXPECT_EQ(records[7][1], "outdoor1_temperature"); // its humidity overflowed
}

TEST_F(CliStatsTest, RangeCutsTheWeekAndADateAloneTakesItsWholeDay) {
    const CliResult r =
        Run({"stats", "--by", "week", "--from", "2024-12-31", "--to", "2024-12-31", "--format", "csv"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<Record> records = ReadRfc4180(r.out);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1], (Record{"2025-W01", "indoor_temperature", "°C", "1", "25.0", "2024-12-31T23:59",
                                  "25.0", "2024-12-31T23:59", "25.00"}));

    const CliResult none = Run({"stats", "--by", "day", "--from", "2026-01-01T00:00", "--format", "csv"});
    EXPECT_EQ(none.out, "period,quantity,unit,count,min,min_at,max,max_at,mean\r\n");
    EXPECT_EQ(Run({"stats", "--by", "day", "--from", "2026-01-01"}).out,
              "No measurements in '" + Path("history.nvh").string() + "' in that range\n");
}

TEST_F(CliStatsTest, TextFollowsTheOptionsFormats) {
    const CliResult r = Run({"stats", "--by", "month"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 8u) << r.out; // titles, four for December, three for January
    EXPECT_EQ(lines[0].rfind("Period   Quantity", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("12.2024  Indoor temperature", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find("25.0 °C  31.12.2024 23:59"), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("22.50 °C"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[6].rfind("01.2025  Indoor humidity", 0), 0u) << lines[6];

    WriteWholeFile(Path("us.xml"), "<options><DateFormat value=\"4\"/><TimeFormat value=\"1\"/>"
                                   "<TemperatureFormat value=\"1\"/></options>");
    const auto us = Lines(Run({"--options", "us.xml", "stats", "--by", "day", "--to", "2024-12-30"}).out);
    ASSERT_EQ(us.size(), 5u);
    EXPECT_EQ(us[1].rfind("2024-12-30  Indoor temperature", 0), 0u) << us[1];
    EXPECT_NE(us[1].find("68.0 °F  2024-12-30 06:35 AM"), std::string::npos) << us[1];
}

TEST_F(CliStatsTest, BadArgumentsAreUsageErrors) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* mentions;
    } cases[] = {
        {{"stats"}, 1, "--by"},
        {{"stats", "--by", "fortnight"}, 1, "fortnight"},
        {{"stats", "--by", "day", "--format", "xml"}, 1, "xml"},
        {{"stats", "--by", "day", "--from", "2025-02-30"}, 1, "2025-02-30"},
        {{"stats", "--by", "day", "--from", "2025-03-02", "--to", "2025-03-01"}, 1, "--from"},
        {{"--history", "missing.nvh", "stats", "--by", "day"}, 2, "missing.nvh"},
    };
    for (const auto& c : cases) {
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.mentions;
        EXPECT_EQ(r.out, "") << c.mentions;
        ExpectOneErrorLine(r, c.mentions);
    }
}
