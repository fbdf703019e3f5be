// The line settings the port applies, checked through a pseudo-terminal (no serial device needed):
// above all HUPCL, so the kernel drops RTS and DTR when a dying program's descriptor closes.
#include "platform/DsrChangeTracker.h"
#include "platform/TermiosSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

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
    EXPECT_EQ(logged.speed, 300u);
    EXPECT_EQ(logged.dataBits, 8);
    EXPECT_EQ(logged.parity, PortSettings::Parity::None);
    EXPECT_EQ(logged.stopBits, 1);
    EXPECT_FALSE(logged.rtsCtsFlow);
    EXPECT_FALSE(logged.xonXoffFlow);
    ::close(slave);
    ::close(master);
}

// What a device left by another program reads back as: every field from its own flag.
TEST(LineSettings, ReadBackFromTheFlags) {
    using Parity = PortSettings::Parity;
    struct Case {
        const char* what;
        tcflag_t cflag, iflag;
        speed_t speed;
        unsigned rate;
        int dataBits;
        Parity parity;
        int stopBits;
        bool rtsCts, xonXoff;
    } cases[] = {
        {"8N1", CS8, 0, B300, 300, 8, Parity::None, 1, false, false},
        {"7E2", CS7 | PARENB | CSTOPB, 0, B9600, 9600, 7, Parity::Even, 2, false, false},
        {"odd parity", CS8 | PARENB | PARODD, 0, B1200, 1200, 8, Parity::Odd, 1, false, false},
        {"5 bits", CS5, 0, B110, 110, 5, Parity::None, 1, false, false},
        {"hardware flow", CS8 | CRTSCTS, 0, B115200, 115200, 8, Parity::None, 1, true, false},
        {"XON/XOFF on output only", CS8, IXON, B2400, 2400, 8, Parity::None, 1, false, true},
        {"XON/XOFF on input only", CS8, IXOFF, B2400, 2400, 8, Parity::None, 1, false, true},
        {"a speed above 115200", CS8, 0, B230400, 0, 8, Parity::None, 1, false, false},
    };
    for (const Case& c : cases) {
        termios settings{};
        settings.c_cflag = c.cflag;
        settings.c_iflag = c.iflag;
        ::cfsetospeed(&settings, c.speed);
        const PortSettings::Line line = LineSettingsOf(settings);
        EXPECT_EQ(line.speed, c.rate) << c.what;
        EXPECT_EQ(line.dataBits, c.dataBits) << c.what;
        EXPECT_EQ(line.parity, c.parity) << c.what;
        EXPECT_EQ(line.stopBits, c.stopBits) << c.what;
        EXPECT_EQ(line.rtsCtsFlow, c.rtsCts) << c.what;
        EXPECT_EQ(line.xonXoffFlow, c.xonXoff) << c.what;
    }
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
