// The line settings the port applies, checked through a pseudo-terminal (no serial device needed):
// above all HUPCL, so the kernel drops RTS and DTR when a dying program's descriptor closes.
#include "platform/DsrChangeTracker.h"
#include "platform/TermiosSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

TEST(LineSettings, PseudoTerminalKeepsHangUpOnCloseAndRaw8N1) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);

    termios settings{};
    ASSERT_EQ(::tcgetattr(slave, &settings), 0);
    settings.c_cflag &= ~static_cast<tcflag_t>(HUPCL); // as a previous user may have left it
    settings.c_cflag |= CRTSCTS | PARENB;
    ConfigureStationLine(settings, 300);
    ASSERT_EQ(::tcsetattr(slave, TCSANOW, &settings), 0);

    termios back{};
    ASSERT_EQ(::tcgetattr(slave, &back), 0);
    EXPECT_TRUE(back.c_cflag & HUPCL);
    EXPECT_TRUE(back.c_cflag & CLOCAL);
    EXPECT_FALSE(back.c_cflag & CRTSCTS);
    EXPECT_FALSE(back.c_cflag & PARENB);
    EXPECT_EQ(back.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(::cfgetospeed(&back), static_cast<speed_t>(B300));
    const PortSettings::Line logged = LineSettingsOf(back);
    EXPECT_EQ(logged.baudRate, 300u);
    EXPECT_EQ(logged.byteSize, 8);
    EXPECT_EQ(logged.fDtrControl, 0) << "DTR is the program's to drive";
    EXPECT_EQ(logged.fOutxCtsFlow, 0);
    ::close(slave);
    ::close(master);
}

TEST(DsrChangeTracker, EitherWitnessShowsAChange) {
    using Count = std::optional<std::uint64_t>;
    struct Look {
        bool level;
        Count count;
        bool changed;
    };
    struct Case {
        const char* what;
        bool startLevel;
        Count startCount;
        std::vector<Look> looks;
        bool provenAtEnd, missedAtEnd;
    } cases[] = {
        {"counting driver: a toggle between two looks is caught by the counter",
         false,
         10,
         {{false, 10, false}, {false, 12, true}, {true, 13, true}, {true, 13, false}},
         true,
         false},
        {"driver answers for counters but never counts DSR: the level decides",
         false,
         0,
         {{false, 0, false}, {true, 0, true}, {true, 0, false}, {false, 0, true}},
         false,
         true},
        {"driver without counters",
         true,
         std::nullopt,
         {{true, std::nullopt, false}, {false, std::nullopt, true}},
         false,
         false},
    };
    for (const Case& c : cases) {
        DsrChangeTracker tracker;
        tracker.Reset(c.startLevel, c.startCount);
        int i = 0;
        for (const Look& look : c.looks)
            EXPECT_EQ(tracker.Changed(look.level, look.count), look.changed) << c.what << ", look " << i++;
        EXPECT_EQ(tracker.CountersProven(), c.provenAtEnd) << c.what;
        EXPECT_EQ(tracker.CountersMissedChange(), c.missedAtEnd) << c.what;
    }
}
