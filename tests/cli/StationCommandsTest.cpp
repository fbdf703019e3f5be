#include "CliFixture.h"
#include "platform/SerialPortList.h"

#include "simulator/SimulatedSerialPort.h"

#include <sys/stat.h>

namespace {

constexpr std::size_t RecordSize = 56;

std::size_t Records(const std::filesystem::path& file) {
    return std::filesystem::exists(file) ? std::filesystem::file_size(file) / RecordSize : 0;
}

// The value after a "Label:" line of the import summary.
std::string SummaryValue(const std::string& out, const std::string& label) {
    const auto at = out.find(label + ":");
    if (at == std::string::npos)
        return "<missing " + label + ">";
    const auto start = out.find_first_not_of(' ', at + label.size() + 1);
    return out.substr(start, out.find('\n', start) - start);
}

} // namespace

TEST_F(CliTest, ImportTakesOnlyWhatIsNew) {
    CreateImage("station.img", 3, 20);
    const std::vector<std::string> import{"--port", "sim:station.img", "import"};

    const CliResult first = Run(import);
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(SummaryValue(first.out, "Datasets parsed"), "20");
    EXPECT_EQ(SummaryValue(first.out, "Appended"), "20");
    EXPECT_EQ(SummaryValue(first.out, "New read position"), "slot 19");
    EXPECT_EQ(SummaryValue(first.out, "Bytes read from station"), "32677"); // no read position yet
    EXPECT_EQ(Records(Path("history.nvh")), 20u);
    StationImageSummary station = SummarizeStationImage(Image("station.img"));
    EXPECT_EQ(station.lastReadIndex, 19);
    EXPECT_EQ(station.lastNrOfTransmitters, 3);
    EXPECT_EQ(station.unread, 0);

    const CliResult again = Run(import);
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(SummaryValue(again.out, "Appended"), "0");
    EXPECT_EQ(SummaryValue(again.out, "New read position"), "unchanged");
    EXPECT_EQ(Records(Path("history.nvh")), 20u);

    ASSERT_EQ(Run({"sim", "add", "station.img", "--datasets", "4"}).exitCode, 0);
    const CliResult added = Run(import);
    ASSERT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(SummaryValue(added.out, "Datasets parsed"), "4");
    EXPECT_EQ(SummaryValue(added.out, "Removed as already known"), "0");
    EXPECT_EQ(SummaryValue(added.out, "Appended"), "4");
    EXPECT_EQ(SummaryValue(added.out, "New read position"), "slot 23");
    // Flags and record, the last read date-time (5 bytes), the unread counter, 4 new and the
    // marker (15 bytes each), the date-time after it.
    EXPECT_EQ(SummaryValue(added.out, "Bytes read from station"), "105");
    EXPECT_EQ(Records(Path("history.nvh")), 24u);

    // The overrides stayed out of the options file; what the run learned did not.
    const std::string options = Read("Nivaro.xml");
    EXPECT_NE(options.find("<Port value=\"" + DefaultSerialPort(PresentSerialPorts()) + "\"/>"),
              std::string::npos)
        << options;

    const CliResult show = Run({"show", "--last", "2"});
    ASSERT_EQ(show.exitCode, 0) << show.err;
    EXPECT_NE(show.out.find("17.01.2005 16:30"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("Outdoor 3"), std::string::npos) << show.out;

    // --whole reads all of the ring buffer, with the same result.
    ASSERT_EQ(Run({"sim", "add", "station.img", "--datasets", "2"}).exitCode, 0);
    const CliResult whole = Run({"--port", "sim:station.img", "import", "--whole"});
    ASSERT_EQ(whole.exitCode, 0) << whole.err;
    EXPECT_EQ(SummaryValue(whole.out, "Appended"), "2");
    EXPECT_EQ(SummaryValue(whole.out, "New read position"), "slot 25");
    EXPECT_EQ(SummaryValue(whole.out, "Bytes read from station"), "32677");
    EXPECT_EQ(Records(Path("history.nvh")), 26u);
}

TEST_F(CliTest, ImportRecognisesDatasetsTheHistoryHoldsAlready) {
    CreateImage("station.img", 2, 10);
    const std::string image = Read("station.img");
    ASSERT_EQ(Run({"--port", "sim:station.img", "--history", "h.nvh", "import"}).exitCode, 0);
    // The same station as it was before the import: its read position is erased again.
    WriteWholeFile(Path("station.img"), image);
    const CliResult r = Run({"--port", "sim:station.img", "--history", "h.nvh", "import"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(SummaryValue(r.out, "Removed as already known"), "10");
    EXPECT_EQ(SummaryValue(r.out, "Appended"), "0");
    EXPECT_EQ(Records(Path("h.nvh")), 10u);
}

TEST_F(CliTest, ImportAllRecoversWhatTheStationHoldsIntoAnotherHistory) {
    CreateImage("station.img", 3, 30);
    ASSERT_EQ(Run({"--port", "sim:station.img", "--history", "a.nvh", "import"}).exitCode, 0);
    ASSERT_EQ(Run({"sim", "add", "station.img", "--datasets", "3"}).exitCode, 0);
    // A plain import into a new file takes only what is new since the last import.
    const CliResult plain = Run({"--port", "sim:station.img", "--history", "b.nvh", "import"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(SummaryValue(plain.out, "Appended"), "3");

    // --all takes everything the station holds and moves the read position as any import.
    const CliResult all = Run({"--port", "sim:station.img", "--history", "c.nvh", "import", "--all"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(SummaryValue(all.out, "Appended"), "33");
    EXPECT_EQ(SummaryValue(all.out, "New read position"), "slot 32");
    EXPECT_EQ(Records(Path("c.nvh")), 33u);
    // Into the first history: only what it lacks.
    const CliResult again = Run({"--port", "sim:station.img", "--history", "a.nvh", "import", "--all"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(SummaryValue(again.out, "Removed as already known"), "30");
    EXPECT_EQ(SummaryValue(again.out, "Appended"), "3");
    EXPECT_EQ(Records(Path("a.nvh")), 33u);
}

TEST_F(CliTest, PingPrintsTheCountAndRemembersIt) {
    CreateImage("station.img", 4, 3);
    const CliResult r = Run({"--port", "sim:station.img", "ping"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "4\n");
    EXPECT_NE(Read("Nivaro.xml").find("<NrOfTransmitters value=\"4\"/>"), std::string::npos);
    EXPECT_EQ(Read("Nivaro.xml").find("sim:"), std::string::npos);
}

TEST_F(CliTest, StationFailuresExitTwoAndTouchNothing) {
    WriteWholeFile(Path("short.img"), std::string(100, '\x42'));
    CreateImage("station.img", 3, 20);
    const std::string image = Read("station.img");
    std::filesystem::create_directory(Path("adir"));
    WriteWholeFile(Path("afile"), "x");

    struct Case {
        std::vector<std::string> args;
        std::string mentions;
    };
    const std::vector<Case> cases{
        {{"--port", Path("no-such-tty").string(), "ping"}, "no-such-tty"},
        {{"--port", Path("no-such-tty").string(), "import"}, "no-such-tty"},
        {{"--port", "sim:short.img", "ping"}, "short.img"},
        {{"--port", "sim:short.img", "import"}, "short.img"},
        {{"--port", "sim:station.img", "--history", "adir", "import"}, "adir"},
        {{"--port", "sim:station.img", "--history", "afile/h.nvh", "import"}, "afile/h.nvh"},
        {{"--port", "sim:station.img", "--history", "missing-dir/h.nvh", "import"}, "missing-dir/h.nvh"},
    };
    for (const Case& c : cases) {
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args[1] << " " << c.args.back();
        ExpectOneErrorLine(r, c.mentions);
        EXPECT_EQ(Read("short.img"), std::string(100, '\x42'));
        EXPECT_EQ(Read("station.img"), image);
        EXPECT_FALSE(Exists("history.nvh"));
        EXPECT_FALSE(Exists("missing-dir"));
        EXPECT_TRUE(std::filesystem::is_directory(Path("adir")));
        EXPECT_EQ(Read("afile"), "x");
    }
}

// Options made where no adapter was present name no port: the commands say how to choose one.
TEST_F(CliTest, NoPortChosenSaysHowToChooseOne) {
    WriteWholeFile(Path("Nivaro.xml"), "<options><Port value=\"\"/></options>");
    for (const char* command : {"ping", "import"}) {
        const CliResult r = Run({command});
        EXPECT_EQ(r.exitCode, 2) << command;
        ExpectOneErrorLine(r, "no port is chosen: give --port");
        EXPECT_NE(r.err.find("sim is the built-in simulator"), std::string::npos) << r.err;
        EXPECT_FALSE(Exists("history.nvh"));
    }
}

TEST_F(CliTest, ImportBlockedByAnInvalidNewestDatasetSaysWhatClearsIt) {
    CreateImage("station.img", 3, 20);
    EepromImage image = Image("station.img");
    CDataset broken = NextMeasurement(image, 5, 1);
    CDateTime invalid;
    invalid.SetStatus(CDateTime::invalid);
    broken.SetDateTime(invalid);
    AppendMeasurement(image, broken);
    WriteWholeFile(Path("station.img"), std::string(image.begin(), image.end()));

    const CliResult r = Run({"--port", "sim:station.img", "import"});
    EXPECT_EQ(r.exitCode, 2);
    ExpectOneErrorLine(r, "The newest dataset in the station has an invalid date and time; the station's "
                          "next measurement clears it, import again after that");
    EXPECT_FALSE(Exists("history.nvh"));
}

TEST_F(CliTest, SimulatedStationHeldByAnotherProgramIsInUse) {
    CreateImage("station.img", 3, 20);
    const std::string image = Read("station.img");
    {
        SimulatedSerialPort holder(ClockMode::Virtual, Path("station.img"));
        holder.open("sim:station.img", 300);
        for (const char* command : {"ping", "import"}) {
            const CliResult r = Run({"--port", "sim:station.img?adapter=usb", command});
            EXPECT_EQ(r.exitCode, 2) << command;
            ExpectOneErrorLine(r, "is in use by another program");
            EXPECT_EQ(Read("station.img"), image) << "only the holder writes the image";
            EXPECT_FALSE(Exists("history.nvh"));
        }
        const CliResult add = Run({"sim", "add", "station.img", "--datasets", "2"});
        EXPECT_EQ(add.exitCode, 2);
        ExpectOneErrorLine(add, "is in use by another program");
        EXPECT_EQ(Read("station.img"), image);
    }
    const CliResult unknown = Run({"--port", "sim:station.img?adapter=rs485", "ping"});
    EXPECT_EQ(unknown.exitCode, 2);
    ExpectOneErrorLine(unknown, "unknown simulated adapter 'rs485'");

    const CliResult usb = Run({"--port", "sim:station.img?adapter=usb", "import"});
    ASSERT_EQ(usb.exitCode, 0) << usb.err;
    EXPECT_EQ(Records(Path("history.nvh")), 20u);
}

TEST_F(CliTest, InterruptedImportStopsAndLeavesStationAndHistoryAlone) {
    CreateImage("station.img", 3, 300);
    ASSERT_EQ(Run({"--port", "sim:station.img", "import"}).exitCode, 0);
    ASSERT_EQ(Run({"sim", "add", "station.img", "--datasets", "5"}).exitCode, 0);
    const std::string image = Read("station.img");
    const std::string history = Read("history.nvh");

    const CliResult r = Run({"--port", "sim:station.img", "import", "--interrupt-after-steps", "2"});
    EXPECT_EQ(r.exitCode, 130) << r.err;
    ExpectOneErrorLine(r, "interrupted");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Read("station.img"), image);
    EXPECT_EQ(Read("history.nvh"), history);

    // The next import still finds the five new ones.
    const CliResult after = Run({"--port", "sim:station.img", "import"});
    ASSERT_EQ(after.exitCode, 0) << after.err;
    EXPECT_EQ(SummaryValue(after.out, "Appended"), "5");
}

TEST_F(CliTest, ImportInterruptedAfterTheAppendSaysWhatItLeftBehind) {
    CreateImage("station.img", 3, 300);
    ASSERT_EQ(Run({"--port", "sim:station.img", "import"}).exitCode, 0);
    ASSERT_EQ(Run({"sim", "add", "station.img", "--datasets", "5"}).exitCode, 0);
    const std::string image = Read("station.img");

    const CliResult r = Run({"--port", "sim:station.img", "import", "--interrupt-after-append"});
    EXPECT_EQ(r.exitCode, 130) << r.err;
    ExpectOneErrorLine(r, "import interrupted; 5 new datasets were appended to the history file, the station "
                          "kept its read position (the next import finds them known)");
    EXPECT_EQ(Read("station.img"), image);
    EXPECT_EQ(Records(Path("history.nvh")), 305u);

    const CliResult after = Run({"--port", "sim:station.img", "import"});
    ASSERT_EQ(after.exitCode, 0) << after.err;
    EXPECT_EQ(SummaryValue(after.out, "Removed as already known"), "5");
    EXPECT_EQ(SummaryValue(after.out, "Appended"), "0");
    EXPECT_EQ(Records(Path("history.nvh")), 305u);
}

// Only "sim create" makes a station image: a mistyped name is no new demo station.
TEST_F(CliTest, AMissingStationImageIsNoSuchStationImage) {
    CreateImage("st.img", 3, 20);
    for (const char* command : {"import", "ping"}) {
        const CliResult r = Run({"--port", "sim:st.imgg", command});
        EXPECT_EQ(r.exitCode, 2) << command;
        ExpectOneErrorLine(r, "no such station image '");
        EXPECT_FALSE(Exists("st.imgg"));
        EXPECT_FALSE(Exists("history.nvh"));
    }
    const CliResult demo = Run({"--port", "sim", "import"}); // the station of the bare "sim" is made up
    ASSERT_EQ(demo.exitCode, 0) << demo.err;
    EXPECT_EQ(SummaryValue(demo.out, "Appended"), "576");
}

// A file that is not a history file is never appended to or cut, and the station is not asked:
// every command that reads history refuses it with exit code 2.
TEST_F(CliTest, AFileThatIsNotAHistoryFileIsRefusedAndLeftAlone) {
    CreateImage("station.img", 3, 20);
    const std::string image = Read("station.img");
    const std::string notes = "Shopping list: milk, eggs, flour, butter, sugar, a new thermometer,\n"
                              "and batteries for the outdoor transmitters.\n";
    for (const std::string& content : {notes, std::string("tiny text")}) {
        WriteWholeFile(Path("notes.nvh"), content);
        for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
                 {"--port", "sim:station.img", "--history", "notes.nvh", "import"},
                 {"--history", "notes.nvh", "show"},
                 {"--history", "notes.nvh", "stats", "--by", "day"},
                 {"--history", "notes.nvh", "export"},
                 {"--history", "notes.nvh", "export", "--format", "csv"}}) {
            const CliResult r = Run(args);
            EXPECT_EQ(r.exitCode, 2) << args[2] << " " << content;
            ExpectOneErrorLine(r, "notes.nvh' is not a history file");
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(Read("notes.nvh"), content);
            EXPECT_EQ(Read("station.img"), image);
        }
    }
}

// What a power cut during an append leaves, a partial record behind whole ones, is cut off with
// a warning, and the dataset it held is imported again: the hourly import recovers by itself.
TEST_F(CliTest, APartialLastRecordIsCutAndItsDatasetImportedAgain) {
    CreateImage("station.img", 3, 20);
    const std::vector<std::string> import{"--port", "sim:station.img", "import"};
    ASSERT_EQ(Run(import).exitCode, 0);
    ASSERT_EQ(Run({"sim", "add", "station.img", "--datasets", "1"}).exitCode, 0);
    const std::string station = Read("station.img");
    const CliResult added = Run(import);
    ASSERT_EQ(added.exitCode, 0) << added.err;
    const std::string complete = Read("history.nvh");

    // Power lost in the middle of that append: half of the last record is on disk, and the
    // station, told only once the append was, still holds its old read position.
    WriteWholeFile(Path("history.nvh"), complete.substr(0, complete.size() - RecordSize / 2));
    WriteWholeFile(Path("station.img"), station);
    const CliResult again = Run(import);
    ASSERT_EQ(again.exitCode, 0) << again.err;
    ExpectOneErrorLine(again, "the last 28 bytes are an incomplete record");
    EXPECT_EQ(SummaryValue(again.out, "Appended"), "1");
    EXPECT_EQ(Read("history.nvh"), complete);
}

// The history, the options, a simulated station's image and its lock are four files: one named
// (or linked) as another is refused before anything is written.
TEST_F(CliTest, TheProgramsOwnFilesAreNeverMixedUp) {
    CreateImage("st.img", 3, 20);
    ASSERT_EQ(Run({"--port", "sim:st.img", "import"}).exitCode, 0);
    std::filesystem::create_symlink("Nivaro.xml", Path("linked.nvh"));
    std::filesystem::create_symlink("st.img", Path("linked.img"));
    const std::string image = Read("st.img"), options = Read("Nivaro.xml"), history = Read("history.nvh");
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const Case cases[] = {
        {{"--port", "sim:st.img", "--history", "Nivaro.xml", "import"},
         "is both the options file and the history file"},
        {{"--port", "sim:st.img", "--history", "linked.nvh", "import"},
         "is both the options file and the history file"},
        {{"--port", "sim:st.img", "--history", "st.img", "import"},
         "is both the history file and the station image"},
        {{"--port", "sim:linked.img", "--history", "st.img", "import"},
         "is both the history file and the station image"},
        {{"--port", "sim:st.img", "--history", "st.img.lock", "import"},
         "is both the history file and the station image's lock"},
        {{"--port", "sim:st.img", "--options", "st.img.lock", "ping"},
         "is both the options file and the station image's lock"},
        {{"export", "--out", "Nivaro.xml"}, "is both the options file and the export file"},
        {{"--port", "sim:st.img", "export", "--out", "linked.img"},
         "is both the station image and the export file"},
    };
    for (const Case& c : cases) {
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.says;
        ExpectOneErrorLine(r, c.says);
        EXPECT_EQ(Read("st.img"), image);
        EXPECT_EQ(Read("Nivaro.xml"), options);
        EXPECT_EQ(Read("history.nvh"), history);
    }
}
