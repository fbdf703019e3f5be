#include "CliFixture.h"
#include "platform/SerialPortList.h"

#include "../history/HistoryTestSupport.h"
#include "history/HistoryData.h"
#include "history/Statistics.h"
#include "history/StatisticsText.h"
#include "history/TextExport.h"

namespace {

const char* const UsOptions = "<options><DateFormat value=\"4\"/><TimeFormat value=\"1\"/>"
                              "<TemperatureFormat value=\"1\"/><Port value=\"COM7\"/></options>";

// Measurements every 5 minutes from 2005-01-17 14:05 with one transmitter.
std::vector<CDataset> Measurements(int n) {
    std::vector<CDataset> datasets;
    for (int i = 0; i < n; ++i)
        datasets.push_back(
            MakeMeasurement(CDateTime(CDateTime(2005, 1, 17, 14, 5, 0).Value() + i * 5 / 1440.0), 1, 7));
    return datasets;
}

class CliHistoryTest : public CliTest {
protected:
    void SetUp() override {
        datasets = Measurements(6);
        // Values whose Fahrenheit texts are exact: 25.0 °C is 77.0 °F, -5.0 °C is 23.0 °F.
        datasets[0].SetTemperature(0, 25.0f);
        datasets[5].SetTemperature(1, -5.0f);
        datasets[5].SetHumidity(1, 67.0f);
        CHistoryData store;
        store.Append(Path("history.nvh"), datasets);
        WriteWholeFile(Path("us.xml"), UsOptions);
    }
    std::vector<CDataset> datasets;
};

} // namespace

TEST_F(CliHistoryTest, ExportFollowsTheOptionsFormatsAndUnit) {
    const CliResult r = Run({"--options", "us.xml", "export"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], std::string(ExportHeader) + "\r");
    EXPECT_EQ(lines[1].rfind("\"2005-01-17 02:05 PM\";\"77.0\";", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find("\"---\""), std::string::npos) << "transmitter 2 has no values";

    // The same bytes into a file, and --out - is stdout.
    ASSERT_EQ(Run({"--options", "us.xml", "export", "--out", "export.txt"}).exitCode, 0);
    EXPECT_EQ(Read("export.txt"), r.out);
    EXPECT_EQ(Run({"--options", "us.xml", "export", "--out", "-"}).out, r.out);
    // The run saved the options file without losing the user's values.
    EXPECT_NE(Read("us.xml").find("<Port value=\"COM7\"/>"), std::string::npos) << Read("us.xml");
}

TEST_F(CliHistoryTest, ShowAlignsTheNewestDatasets) {
    const CliResult r = Run({"--options", "us.xml", "show", "--last", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    EXPECT_NE(lines[0].find("Indoor °F"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("Outdoor 1 %"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[0].find("Outdoor 2"), std::string::npos) << "only transmitters with values";
    EXPECT_EQ(lines[1].rfind("2005-01-17 02:20 PM", 0), 0u) << lines[1];
    EXPECT_EQ(lines[3].rfind("2005-01-17 02:30 PM", 0), 0u) << lines[3];
    EXPECT_NE(lines[3].find("23.0  "), std::string::npos) << lines[3];
    EXPECT_EQ(lines[3].substr(lines[3].size() - 4), "  67") << lines[3];
    // Right-aligned columns: every row as wide as the others (the title holds a two-byte sign).
    EXPECT_EQ(lines[1].size(), lines[2].size());
    EXPECT_EQ(lines[1].size(), lines[3].size());
}

TEST_F(CliHistoryTest, EmptyAndMissingHistory) {
    WriteWholeFile(Path("empty.nvh"), "");
    const CliResult empty = Run({"--history", "empty.nvh", "export"});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, std::string(ExportHeader) + "\r\n");
    EXPECT_EQ(Run({"--history", "empty.nvh", "show"}).out,
              "No datasets in '" + Path("empty.nvh").string() + "'\n");

    for (const char* command : {"export", "show"}) {
        const CliResult missing = Run({"--history", "nothere.nvh", command});
        EXPECT_EQ(missing.exitCode, 2) << command;
        ExpectOneErrorLine(missing, "nothere.nvh");
    }
}

TEST_F(CliHistoryTest, FailedExportLeavesTheTargetAlone) {
    // A link into a folder that is gone: no file can be made beside the file it names.
    std::filesystem::create_symlink("gone/export.txt", Path("export.txt"));
    const CliResult r = Run({"export", "--out", "export.txt"});
    EXPECT_EQ(r.exitCode, 2);
    ExpectOneErrorLine(r, "export.txt' cannot be written: No such file or directory");
    EXPECT_EQ(std::filesystem::read_symlink(Path("export.txt")), "gone/export.txt");

    const CliResult self = Run({"export", "--out", "history.nvh"});
    EXPECT_EQ(self.exitCode, 1);
    ExpectOneErrorLine(self, "history file");
    EXPECT_EQ(std::filesystem::file_size(Path("history.nvh")), 6u * 56u);
}

// A link planted under the name an export once used for its temporary file never carries the
// export into the history (or any other file).
TEST_F(CliHistoryTest, ExportsNeverWriteThroughAPlantedLink) {
    const std::string history = Read("history.nvh");
    for (const char* format : {"text", "csv", "sqlite"}) {
        SCOPED_TRACE(format);
        std::filesystem::create_symlink("history.nvh", Path("e.out.tmp"));
        const CliResult r = Run({"--history", "history.nvh", "export", "--format", format, "--out", "e.out"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(Read("history.nvh"), history);
        EXPECT_TRUE(std::filesystem::is_symlink(Path("e.out.tmp")));
        std::filesystem::remove(Path("e.out.tmp"));
        std::filesystem::remove(Path("e.out"));
    }
}

TEST_F(CliHistoryTest, MalformedOptionsFileIsNeverOverwritten) {
    WriteWholeFile(Path("Nivaro.xml"), "<options><DateFormat value=\"4\"");
    const CliResult r = Run({"show"});
    EXPECT_EQ(r.exitCode, 2);
    ExpectOneErrorLine(r, "Nivaro.xml");
    EXPECT_EQ(Read("Nivaro.xml"), "<options><DateFormat value=\"4\"");

    const CliResult wrongFile = Run({"--options", "history.nvh", "show"});
    EXPECT_EQ(wrongFile.exitCode, 2);
    EXPECT_EQ(std::filesystem::file_size(Path("history.nvh")), 6u * 56u);
}

// Only a command that learned about the station writes the options, and never the overrides:
// reading commands and failed ones leave the file alone (also in a folder the run cannot write).
// A relative history path in the options counts from the options file's folder.
TEST_F(CliHistoryTest, TheCommandLineLeavesTheOptionsAlone) {
    const CliResult show = Run({"--history", "history.nvh", "--port", "sim:elsewhere.img", "show"});
    ASSERT_EQ(show.exitCode, 0) << show.err;
    EXPECT_FALSE(Exists("Nivaro.xml"));
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"show"},
                                               {"export"},
                                               {"stats", "--by", "day"},
                                               {"--history", "missing.nvh", "show"},
                                               {"--port", "sim:missing.img", "import"},
                                               {"export", "--out", "no-folder/x.txt"}}) {
        const CliResult r = Run(args);
        EXPECT_EQ(r.err.find("could not be written"), std::string::npos) << r.err;
        EXPECT_FALSE(Exists("Nivaro.xml")) << args[0];
    }

    // The options of folder A, used from folder B: A's history, and A's options as they were.
    std::filesystem::create_directory(Path("A"));
    std::filesystem::create_directory(Path("B"));
    std::filesystem::rename(Path("history.nvh"), Path("A/history.nvh"));
    const std::string options = "<options><RecordingHistoryFile value=\"history.nvh\"/></options>";
    WriteWholeFile(Path("A/Nivaro.xml"), options);
    const CliResult fromB = RunCli(Path("B"), {"--options", "../A/Nivaro.xml", "show", "--last", "1"});
    ASSERT_EQ(fromB.exitCode, 0) << fromB.err;
    EXPECT_NE(fromB.out.find("17.01.2005 14:30"), std::string::npos) << fromB.out;
    const CliResult overridden =
        RunCli(Path("B"), {"--options", "../A/Nivaro.xml", "--history", "../A/history.nvh", "show"});
    ASSERT_EQ(overridden.exitCode, 0) << overridden.err;
    EXPECT_EQ(Read("A/Nivaro.xml"), options);
    EXPECT_FALSE(std::filesystem::exists(Path("B/Nivaro.xml")));
}

// A damaged file is exported and shown as it is, with a warning that counts the damage; a file
// whose records are out of order is exported in date-time order.
TEST_F(CliHistoryTest, DamagedOrUnorderedFilesAreExportedInOrderWithAWarning) {
    std::string bytes = RecordBytes({datasets[3], datasets[1]});
    CDataset wild = datasets[2];
    wild.SetTemperature(0, 3e38f);
    bytes += RecordBytes({wild, datasets[0]}) + std::string(9, '\x42');
    WriteWholeFile(Path("damaged.nvh"), bytes);

    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"export"}, {"show"}, {"stats", "--by", "day"}}) {
        std::vector<std::string> args{"--history", "damaged.nvh"};
        args.insert(args.end(), command.begin(), command.end());
        const CliResult r = Run(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.err.find("warning: history file"), std::string::npos) << r.err;
        EXPECT_NE(
            r.err.find("1 record holds values no station records; the last 9 bytes are an incomplete record"),
            std::string::npos)
            << r.err;
    }
    const auto lines = Lines(Run({"--history", "damaged.nvh", "export"}).out);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1].rfind("\"17.01.2005 14:05\"", 0), 0u) << lines[1];
    EXPECT_EQ(lines[4].rfind("\"17.01.2005 14:20\"", 0), 0u) << lines[4];
    EXPECT_EQ(ReadWholeFile(Path("damaged.nvh")), bytes); // untouched
}

TEST_F(CliHistoryTest, ExportFormatChoice) {
    // CSV goes to standard output like the text; SQLite needs a file.
    const CliResult csv = Run({"export", "--format", "csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_EQ(csv.out.rfind("Date Time,Indoor Temperature (°C),", 0), 0u) << csv.out;
    EXPECT_EQ(Lines(csv.out).size(), 7u);

    ASSERT_EQ(Run({"export", "--format", "sqlite", "--out", "history.db"}).exitCode, 0);
    EXPECT_EQ(Read("history.db").substr(0, 15), "SQLite format 3");

    struct Refused {
        std::vector<std::string> args;
        const char* mentions;
    };
    const Refused refused[] = {
        {{"export", "--format", "sqlite"}, "--out"},
        {{"export", "--format", "sqlite", "--out", "-"}, "--out"},
        {{"export", "--format", "xml"}, "xml"},
    };
    for (const Refused& r : refused) {
        const CliResult result = Run(r.args);
        EXPECT_EQ(result.exitCode, 1) << r.mentions;
        ExpectOneErrorLine(result, r.mentions);
        EXPECT_TRUE(result.out.empty()) << result.out;
    }
}

// The commands stream the file a block at a time; the desktop reads it whole and sorts it. Both
// give the same bytes, for files in order, out of order (with shared date-times, whose file order
// holds; also found only after many blocks, when statistics have already finished periods) and
// with a damaged tail.
TEST_F(CliHistoryTest, StreamingAndWholeReadsGiveTheSameExportsAndStatistics) {
    const ColumnFormat usFormat{"%Y-%m-%d %I:%M %p", true};
    std::vector<CDataset> shared = datasets;
    shared[3].SetDateTime(shared[2].GetDateTime());
    std::vector<CDataset> weeks = Measurements(10000);
    for (std::size_t i = 0; i < weeks.size(); ++i)
        weeks[i].SetTemperature(0, float(i % 300) / 10.0f);
    const std::string files[][2] = {
        {"in order", RecordBytes(shared)},
        {"out of order", RecordBytes({shared[4], shared[3], shared[0], shared[5], shared[2], shared[1]})},
        {"damaged tail", RecordBytes(shared) + std::string(20, '\x42')},
        {"in order over many blocks", RecordBytes(weeks)},
        {"out of order at the end of many blocks", RecordBytes(weeks) + RecordBytes({weeks[100]})},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        WriteWholeFile(Path("h.nvh"), bytes);
        CHistoryData whole;
        ASSERT_TRUE(whole.Read(Path("h.nvh")));
        for (const auto& [format, exportFormat] :
             {std::pair{"text", ExportFormat::Text}, std::pair{"csv", ExportFormat::Csv}}) {
            SCOPED_TRACE(format);
            const CliResult streamed =
                Run({"--options", "us.xml", "--history", "h.nvh", "export", "--format", format});
            ASSERT_EQ(streamed.exitCode, 0) << streamed.err;
            ASSERT_TRUE(whole.Export(Path("whole.out"), usFormat, {}, exportFormat));
            EXPECT_EQ(streamed.out, Read("whole.out"));
        }
        for (const char* by : {"day", "week"}) {
            const CliResult streamed =
                Run({"--options", "us.xml", "--history", "h.nvh", "stats", "--by", by, "--format", "csv"});
            ASSERT_EQ(streamed.exitCode, 0) << streamed.err;
            const std::vector<Summary> summaries = whole.WithDatasets([&](const std::vector<CDataset>& all) {
                return Summarize(all, std::string(by) == "day" ? PeriodKind::Day : PeriodKind::Week);
            });
            EXPECT_EQ(streamed.out, StatisticsCsv(summaries, true));
        }
    }
}

// `show --last` keeps only the newest datasets while it reads; in a file out of order they are
// the newest by date-time, not the last in the file.
TEST_F(CliHistoryTest, ShowLastOnAFileOutOfOrder) {
    WriteWholeFile(Path("h.nvh"),
                   RecordBytes({datasets[4], datasets[5], datasets[0], datasets[3], datasets[1]}));
    const CliResult r = Run({"--options", "us.xml", "--history", "h.nvh", "show", "--last", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_NE(lines[1].find("2005-01-17 02:25 PM"), std::string::npos) << r.out;
    EXPECT_NE(lines[2].find("2005-01-17 02:30 PM"), std::string::npos) << r.out;
}

// `export --out link` of every format: the link stays a link and the file it names gets the export.
TEST_F(CliHistoryTest, AnExportOntoALinkReplacesTheFileItNames) {
    for (const auto& [format, starts] : {std::pair{"text", "\"Date\";"}, std::pair{"csv", "Date Time,"},
                                         std::pair{"sqlite", "SQLite format 3"}}) {
        SCOPED_TRACE(format);
        WriteWholeFile(Path("real.out"), "");
        std::filesystem::create_symlink("real.out", Path("link.out"));
        const CliResult r = Run({"export", "--format", format, "--out", "link.out"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(std::filesystem::is_symlink(Path("link.out")));
        EXPECT_EQ(Read("real.out").rfind(starts, 0), 0u);
        std::filesystem::remove(Path("link.out"));
    }
}
