#include "base/Errors.h"
#include "base/Check.h"
#include "log/Logger.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <regex>

namespace {

// The reason (what()) and the text for the log.
struct Caught {
    std::string reason, logText;
};

Caught CaughtText(auto&& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return {e.what(), LogText(e)};
    }
    return {"<nothing raised>", ""};
}

// The reason is the message alone; the position and expression go to the log in front of it.
TEST(CheckTest, FailedCheckGivesTheMessageAndKeepsThePositionApart) {
    const int value = 3;
    const Caught caught = CaughtText([&] { Check(value == 4) << "value was " << value; });
    EXPECT_EQ(caught.reason, "value was 3");
    EXPECT_TRUE(std::regex_match(
        caught.logText,
        std::regex(R"(ErrorsTest\.cpp\(\d+\): Expression 'value == 4' failed\. value was 3)")))
        << caught.logText;

    // Without a message the failed condition is all there is to say.
    const Caught bare = CaughtText([] { Check(1 + 1 == 3); });
    EXPECT_TRUE(std::regex_match(bare.reason,
                                 std::regex(R"(ErrorsTest\.cpp\(\d+\): Expression '1 \+ 1 == 3' failed\.)")))
        << bare.reason;

    EXPECT_EQ(LogText(std::runtime_error("plain")), "plain");
}

// Counts how often it is turned into text.
struct CountingPart {
    int* streamed;
};
std::ostream& operator<<(std::ostream& out, const CountingPart& part) {
    ++*part.streamed;
    return out << "part";
}

TEST(CheckTest, MessageIsComposedOnlyOnFailure) {
    int streamed = 0;
    Check(1 + 1 == 2) << CountingPart{&streamed};
    EXPECT_EQ(streamed, 0);
    EXPECT_THROW(Check(1 + 1 == 3) << CountingPart{&streamed}, std::runtime_error);
    EXPECT_EQ(streamed, 1);
}

TEST(CheckTest, RaisesPlainRuntimeErrorNotOsError) {
    EXPECT_THROW(Check(false), std::runtime_error);
    try {
        Check(false);
    } catch (const os_error&) {
        FAIL() << "Check must not raise os_error";
    } catch (const std::runtime_error&) {
    }
}

TEST(OsCheckTest, FailedCallCarriesMessageAndSystemTextWithThePositionApart) {
    const Caught caught = CaughtText([] {
        const int fd = ::open("/nonexistent/nivaro", O_RDONLY);
        OsCheck(fd != -1) << "Could not open file";
    });
    EXPECT_EQ(caught.reason, "Could not open file No such file or directory");
    EXPECT_TRUE(std::regex_match(
        caught.logText,
        std::regex(
            R"(ErrorsTest\.cpp\(\d+\): Expression 'fd != -1' failed\. Could not open file No such file or directory)")))
        << caught.logText;
}

TEST(OsErrorTest, TextsAndLogLines) {
    TempDir dir;
    CurrentDirectory cwd(dir.path());
    const CLogger::LocalTime today{2005, 1, 17, 12, 0, 0, 0}; // all lines in one day's file
    CLogger::Instance().SetClock([today] { return today; });
    CLogger::Instance().SetLevel(10);
    CLogger::Instance().SetFileOutput(true);

    EXPECT_EQ(std::string(os_error(ENOENT).what()), "No such file or directory");
    errno = 0;
    EXPECT_EQ(std::string(os_error(std::string()).what()).rfind("OS Error. ", 0), 0u);
    EXPECT_EQ(os_error("Could not open", EACCES).code(), EACCES);
    EXPECT_EQ(std::string(thread_aborted().what()), "Thread aborted");

    CLogger::Instance().SetFileOutput(false);
    CLogger::Instance().SetLevel(0);
    CLogger::Instance().SetClock(nullptr);
    const std::string log = ReadWholeFile(dir / CLogger::FileNameFor(today));
    // From a code: one line; from a message: the system text alone, then the full text.
    EXPECT_NE(log.find("Exception: No such file or directory, errno: 2 (0x2)"), std::string::npos);
    EXPECT_NE(log.find("Exception: Could not open Permission denied, errno: 13 (0xD)"), std::string::npos);
    int lines = 0;
    for (char c : log)
        lines += c == '\n';
    EXPECT_EQ(lines, 1 + 2 + 2);
}

} // namespace
