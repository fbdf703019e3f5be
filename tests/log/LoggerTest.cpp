#include "log/Logger.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <thread>
#include <vector>

namespace {

// Puts the logger into a temporary current directory with a fixed clock, and restores it after.
class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        now = {2005, 1, 17, 14, 5, 9, 7};
        logger().SetClock([this] { return now; });
    }
    void TearDown() override {
        logger().SetFileOutput(false);
        logger().SetLevel(0);
        logger().SetClock(nullptr);
    }
    static CLogger& logger() { return CLogger::Instance(); }
    std::string FileText(const char* name = "log__2005_01_17.txt") { return ReadWholeFile(dir / name); }

    TempDir dir;
    CurrentDirectory cwd{dir.path()};
    CLogger::LocalTime now;
};

TEST_F(LoggerTest, LineHasTimeThreadPrefixAndCrLf) {
    logger().SetLevel(30);
    logger().SetFileOutput(true);
    logger().Log(30, "Reading %s", "started");
    const std::string text = FileText();
    EXPECT_TRUE(std::regex_match(text, std::regex("14:05:09_007_[0-9A-F]+: Reading started\r\n"))) << text;
}

TEST_F(LoggerTest, LevelFilter) {
    struct Case {
        int configured;
        int call;
        bool written;
    };
    const Case cases[] = {{30, 10, true}, {30, 30, true},  {30, 40, false}, {50, 50, true},
                          {0, 10, false}, {-5, 10, false}, {10, 30, false}};
    for (const Case& c : cases) {
        std::filesystem::remove(dir / "log__2005_01_17.txt");
        logger().SetLevel(c.configured);
        logger().SetFileOutput(true);
        logger().Log(c.call, "x");
        logger().SetFileOutput(false);
        EXPECT_EQ(!FileText().empty(), c.written) << "level " << c.configured << " call " << c.call;
    }
}

TEST_F(LoggerTest, NoFileWithoutFileOutput) {
    logger().SetLevel(50);
    logger().Log(10, "nothing");
    EXPECT_FALSE(std::filesystem::exists(dir / "log__2005_01_17.txt"));
}

TEST_F(LoggerTest, LevelZeroCreatesFileButWritesNothing) {
    logger().SetLevel(0);
    logger().SetFileOutput(true);
    logger().Log(10, "nothing");
    EXPECT_TRUE(std::filesystem::exists(dir / "log__2005_01_17.txt"));
    EXPECT_EQ(FileText(), "");
}

TEST_F(LoggerTest, LongTextIsCutAndKeepsLineEnd) {
    logger().SetLevel(30);
    logger().SetFileOutput(true);
    const std::string big(CLogger::MaxTextLength + 100, 'a');
    logger().Log(30, "%s", big.c_str());
    const std::string text = FileText();
    const auto start = text.find(": ") + 2;
    EXPECT_EQ(text.size() - start, CLogger::MaxTextLength + 2);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST_F(LoggerTest, OwnLineFeedIsKept) {
    logger().SetLevel(30);
    logger().SetFileOutput(true);
    logger().Log(30, "Main window creation failed!\n");
    EXPECT_NE(FileText().find("failed!\n\r\n"), std::string::npos);
}

TEST_F(LoggerTest, DaySwitchAtMidnightAndAppendAcrossRuns) {
    logger().SetLevel(30);
    now = {2005, 1, 17, 23, 59, 59, 999};
    logger().SetFileOutput(true);
    logger().Log(30, "before");
    logger().SetFileOutput(false);
    logger().SetFileOutput(true); // a second run on the same day appends
    logger().Log(30, "again");
    now = {2005, 1, 18, 0, 0, 0, 1};
    logger().Log(40, "filtered"); // a filtered call does not switch files
    logger().Log(30, "after");
    const std::string first = FileText();
    const std::string second = FileText("log__2005_01_18.txt");
    EXPECT_NE(first.find("before"), std::string::npos);
    EXPECT_NE(first.find("again"), std::string::npos);
    EXPECT_EQ(first.find("after"), std::string::npos);
    EXPECT_NE(second.find("00:00:00_001_"), std::string::npos);
    EXPECT_EQ(second.find("filtered"), std::string::npos);
}

TEST_F(LoggerTest, ConcurrentWritersAcrossADaySwitchKeepEveryLineWhole) {
    logger().SetLevel(30);
    logger().SetFileOutput(true);
    std::atomic<int> calls{0};
    // The clock moves to the next day halfway through, while both threads write.
    logger().SetClock([&] {
        return calls++ < 2000 ? CLogger::LocalTime{2005, 1, 17, 23, 59, 59, 0}
                              : CLogger::LocalTime{2005, 1, 18, 0, 0, 0, 0};
    });
    constexpr int perThread = 2000;
    auto writer = [&](char tag) {
        for (int i = 0; i < perThread; ++i)
            logger().Log(30, "%c-%04d-%s", tag, i, "payload payload payload payload");
    };
    std::thread a(writer, 'A'), b(writer, 'B');
    a.join();
    b.join();
    logger().SetFileOutput(false);

    const std::string all = FileText() + FileText("log__2005_01_18.txt");
    std::istringstream lines(all);
    std::string line;
    int count = 0;
    const std::regex whole("[0-9:_]+_[0-9A-F]+: [AB]-[0-9]{4}-payload payload payload payload\r");
    while (std::getline(lines, line)) {
        EXPECT_TRUE(std::regex_match(line, whole)) << line;
        ++count;
    }
    EXPECT_EQ(count, 2 * perThread);
}

TEST(LoggerFileName, DailyName) {
    EXPECT_EQ(CLogger::FileNameFor({2005, 1, 17, 0, 0, 0, 0}), "log__2005_01_17.txt");
    EXPECT_EQ(CLogger::FileNameFor({2026, 12, 3, 0, 0, 0, 0}), "log__2026_12_03.txt");
}

} // namespace
