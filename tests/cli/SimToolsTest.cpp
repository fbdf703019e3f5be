#include "CliFixture.h"

#include "station/RingBuffer.h"

using namespace Hardware;

TEST_F(CliTest, CreateWritesTheImageTheBuilderMakes) {
    CreateImage("station.img", 3, 20);
    StationImageSpec spec;
    spec.transmitters = 3;
    spec.measurements = 20;
    EXPECT_EQ(Image("station.img"), CreateStationImage(spec));

    const CliResult info = Run({"sim", "info", "station.img"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    for (const char* expected :
         {"Flags:            0x0 (ring buffer not full)", "Transmitters:     3",
          "15 bytes per dataset, 2177 slots", "End marker slot:  20 (address 0x190)",
          "Newest dataset:   slot 19, 2005-01-17 16:10", "Read position:    erased", "Unread datasets:  20"})
        EXPECT_NE(info.out.find(expected), std::string::npos) << expected << "\n" << info.out;
}

TEST_F(CliTest, MoreMeasurementsThanSlotsWrapAndSetFull) {
    CreateImage("wrapped.img", 5, 2000); // 1633 slots
    const StationImageSummary s = SummarizeStationImage(Image("wrapped.img"));
    EXPECT_TRUE(s.full);
    EXPECT_EQ(s.endMarkerSlot, 2000 % 1633);
    EXPECT_EQ(s.unread, 1632);
}

TEST_F(CliTest, AddRecordsAtTheRecordedInterval) {
    ASSERT_EQ(Run({"sim", "create", "station.img", "--transmitters", "2", "--datasets", "4", "--start",
                   "2005-01-17T14:35", "--interval", "10"})
                  .exitCode,
              0);
    const CliResult r = Run({"sim", "add", "station.img", "--datasets", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const EepromImage image = Image("station.img");
    const StationImageSummary s = SummarizeStationImage(image);
    EXPECT_EQ(s.endMarkerSlot, 7);
    EXPECT_EQ(s.unread, 7);
    const CDateTime newest = DecodeDateTime(image.data() + s.layout->SlotAddress(6));
    EXPECT_EQ(newest.Format("%Y-%m-%d %H:%M"), "2005-01-17 15:35");
}

TEST_F(CliTest, ImageToolsRefuseBadImagesAndLeaveThemAlone) {
    WriteWholeFile(Path("short.img"), std::string(1000, '\x11'));
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"sim", "info", "short.img"}, {"sim", "add", "short.img", "--datasets", "1"}}) {
        const CliResult r = Run(args);
        EXPECT_EQ(r.exitCode, 2) << args[1];
        ExpectOneErrorLine(r, "short.img");
        EXPECT_EQ(Read("short.img"), std::string(1000, '\x11'));
    }
    const CliResult missing = Run({"sim", "info", "missing.img"});
    EXPECT_EQ(missing.exitCode, 2);
    ExpectOneErrorLine(missing, "missing.img");

    CreateImage("station.img", 1, 5);
    const std::string before = Read("station.img");
    const CliResult again = Run({"sim", "create", "station.img", "--transmitters", "2", "--datasets", "9"});
    EXPECT_EQ(again.exitCode, 1);
    ExpectOneErrorLine(again, "--force");
    EXPECT_EQ(Read("station.img"), before);
}

TEST_F(CliTest, UsageErrorsExitOneWithOneLine) {
    const std::vector<std::vector<std::string>> cases{
        {},
        {"frobnicate"},
        {"sim"},
        {"sim", "create", "x.img", "--datasets", "5"},
        {"sim", "create", "x.img", "--transmitters", "0", "--datasets", "5"},
        {"sim", "create", "x.img", "--transmitters", "6", "--datasets", "5"},
        {"sim", "create", "x.img", "--transmitters", "2", "--datasets", "-1"},
        {"sim", "create", "x.img", "--transmitters", "2", "--datasets", "5", "--start", "2005-02-30T10:00"},
        {"sim", "create", "x.img", "--transmitters", "2", "--datasets", "5", "--start", "yesterday"},
        {"sim", "create", "x.img", "--transmitters", "2", "--datasets", "5", "--start", "1999-12-31T23:00"},
        {"sim", "create", "x.img", "--transmitters", "2", "--datasets", "5", "--interval", "0"},
        {"sim", "add", "x.img", "--datasets", "0"},
        {"show", "--last", "0"},
        {"show", "--last", "many"},
        {"export", "--bogus"},
    };
    for (const auto& args : cases) {
        std::string joined;
        for (const auto& a : args)
            joined += a + " ";
        const CliResult r = Run(args);
        EXPECT_EQ(r.exitCode, 1) << joined << "\n" << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << joined << "\n" << r.err;
        EXPECT_FALSE(Exists("x.img")) << joined;
        EXPECT_FALSE(Exists("Nivaro.xml")) << joined;
    }
}

TEST_F(CliTest, HelpOnEveryLevel) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"--help"},
                                                                  {"ping", "--help"},
                                                                  {"import", "--help"},
                                                                  {"export", "--help"},
                                                                  {"show", "--help"},
                                                                  {"sim", "--help"},
                                                                  {"sim", "create", "--help"},
                                                                  {"sim", "info", "--help"},
                                                                  {"sim", "add", "--help"}}) {
        const CliResult r = Run(args);
        EXPECT_EQ(r.exitCode, 0) << args[0];
        EXPECT_NE(r.out.find("Usage:"), std::string::npos) << args[0];
    }
    EXPECT_FALSE(Exists("Nivaro.xml"));
}
