// Synchronisation with the base unit's SCL pattern, in virtual time.
#include "LogCapture.h"
#include "SimulatorFixture.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;
constexpr BaseUnit::Nanos Ms = BaseUnit::Ms;

struct SyncCase : SimulatedStation {
    LogCapture log;
    void Pattern(std::vector<BaseUnit::Phase> phases, bool repeat = false) {
        port->baseUnit().SetPattern(std::move(phases), repeat, port->now());
    }
    Lines After(const std::string& first) const { return log.LinesFrom(first); }
    long Count(const std::string& text) const {
        const Lines lines = log.Lines();
        return std::count(lines.begin(), lines.end(), text);
    }
};

} // namespace

TEST(Synchronize, SilentHighSclFailsAfter925Ms) {
    SyncCase s;
    const auto start = s.port->now();
    EXPECT_FALSE(s.driver.Synchronize());
    EXPECT_EQ(s.port->now() - start, 925 * Ms);
    EXPECT_EQ(
        s.After("Looking for valid SclLow"),
        (Lines{"Looking for valid SclLow", "Synchronize failed, Scl is SclHigh, Scl unchanged for 925 ms"}));
}

TEST(Synchronize, LowPhaseThenQuietHighSucceeds) {
    SyncCase s;
    s.Pattern({{true, 150 * Ms}, {false, 10'000 * Ms}}); // from clock time 0; the open took 20 ms
    EXPECT_TRUE(s.driver.Synchronize());

    const Lines lines = s.After("Found valid SclLow, waiting for SclHigh");
    ASSERT_FALSE(lines.empty());
    Lines expected{"Found valid SclLow, waiting for SclHigh"};
    // 100 ms of the low phase went to the low check; 30 ms remain: five quiet windows.
    for (int i = 1; i <= 5; ++i)
        expected.push_back("Scl is SclLow, unchanged " + std::to_string(i) + " times 5 ms");
    expected.push_back("Scl changed to SclHigh after 5 waits for 5 ms");
    for (int i = 1; i <= 15; ++i)
        expected.push_back("Scl is SclHigh, unchanged " + std::to_string(i) + " times 5 ms");
    expected.push_back("Synchronize success, Scl unchanged at state SclHigh, 15 times for 5 ms");
    // The first contact measures the adapter and says what it found, once.
    expected.push_back(
        "Adapter on sim: a line change takes 0.010 ms, a status read 0.000 ms, a change shows 0.000 ms late");
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(s.Count("Dummy buffer io written"), 1);
}

TEST(Synchronize, WaitsForTheLowPhaseOfTheDefaultPattern) {
    SyncCase s;
    s.port->baseUnit().SetPattern({{true, 150 * Ms}, {false, 850 * Ms}}, true, s.port->now());
    s.port->sleep(300); // in the middle of the high phase
    EXPECT_TRUE(s.driver.Synchronize());
}

TEST(Synchronize, LowPhaseShorterThan100MsFails) {
    SyncCase s;
    s.Pattern({{true, 60 * Ms}, {false, 10'000 * Ms}});
    EXPECT_FALSE(s.driver.Synchronize());
    EXPECT_EQ(s.Count("Synchronize failed, Scl is SclHigh, Scl changed from SclLow within 100 ms"), 1);
}

TEST(Synchronize, LowForeverFailsAfter50Windows) {
    SyncCase s;
    s.Pattern({{true, 10'000 * Ms}});
    EXPECT_FALSE(s.driver.Synchronize());
    const Lines lines = s.log.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Scl is SclLow, unchanged 50 times 5 ms");
    EXPECT_EQ(lines.back(), "Synchronize failed, Scl unchanged at state SclLow, 50 times for 5 ms");
}

TEST(Synchronize, HighGlitchRestartsTheStableCount) {
    SyncCase s;
    // After the low phase: high 25 ms, a 1 ms low glitch, then high for good.
    s.Pattern({{true, 140 * Ms}, {false, 25 * Ms}, {true, 1 * Ms}, {false, 10'000 * Ms}});
    EXPECT_TRUE(s.driver.Synchronize());
    EXPECT_EQ(s.Count("Scl is SclHigh, unchanged 4 times 5 ms"), 2)
        << "the count starts again after the glitch";
    EXPECT_EQ(s.Count("Scl is SclHigh, unchanged 15 times 5 ms"), 1);
}

TEST(Synchronize, ChangingSclIsBoundedAndAbortEndsTheWait) {
    SyncCase s;
    // Low phase, then SCL toggling every 3 ms for ever: never 15 quiet windows.
    std::vector<BaseUnit::Phase> toggling{{true, 120 * Ms}};
    for (int i = 0; i < 2000; ++i)
        toggling.push_back({i % 2 == 0, 3 * Ms});
    s.Pattern(toggling);
    EXPECT_FALSE(s.driver.Synchronize());
    EXPECT_EQ(s.log.Lines().back(), "Synchronize failed, Scl is " + CI2CDriver::SclStateName(s.driver.Scl()) +
                                        ", no stable SclHigh within " +
                                        std::to_string(CI2CDriver::MaxHighWaitWindows) + " windows of 5 ms");

    SyncCase aborted;
    aborted.Pattern(toggling);
    int polls = 0;
    EXPECT_FALSE(aborted.driver.Synchronize([&] { return ++polls == 20; }));
    EXPECT_EQ(polls, 20);
}

TEST(Synchronize, ReopensAClosedPort) {
    SyncCase s;
    s.Pattern({{true, 150 * Ms}, {false, 10'000 * Ms}});
    s.driver.Close();
    EXPECT_TRUE(s.driver.Synchronize());
    EXPECT_TRUE(s.driver.IsOpened());
}
