// The simulated adapter as real hardware behaves: profiles chosen by port name, the cost of a
// line change, late DSR reports, the lines raised at open, exclusive images, a holder that dies.
#include "TempDir.h"
#include "base/Errors.h"
#include "simulator/SimulatedSerialPort.h"
#include "simulator/SimulatorTarget.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

namespace {

constexpr BaseUnit::Nanos Ms = BaseUnit::Ms;

AdapterProfile Profile(const std::string& name) {
    AdapterProfile profile;
    EXPECT_TRUE(FindAdapterProfile(name, profile)) << name;
    return profile;
}

// By hand on the port (asserted = low): a page write of 11 22 33 44 at 0x51 cut off after its
// fourth acknowledged byte, with the first bit of a fifth (a 0) on SDA and SCL low.
void CutOffPageWrite(SimulatedSerialPort& port) {
    const auto clock = [&] {
        ASSERT_TRUE(port.setDtr(false));
        ASSERT_TRUE(port.setDtr(true));
    };
    ASSERT_TRUE(port.setRts(true)); // START
    ASSERT_TRUE(port.setDtr(true));
    for (const std::uint8_t byte : {0xA0, 0x00, 0x51, 0x11, 0x22, 0x33, 0x44}) {
        for (int bit = 7; bit >= 0; --bit) {
            ASSERT_TRUE(port.setRts(((byte >> bit) & 1) == 0));
            clock();
        }
        ASSERT_TRUE(port.setRts(false));
        clock(); // the EEPROM's acknowledge
    }
    ASSERT_TRUE(port.setRts(true));
}

} // namespace

TEST(SimulatorTarget, FileAndAdapterFromThePortName) {
    struct Case {
        const char* text;
        const char* file;
        const char* adapter;
    } cases[] = {
        {"", "", "ideal"},
        {"station.bin", "station.bin", "ideal"},
        {"station.bin?adapter=usb", "station.bin", "usb"},
        {"?adapter=slow-usb", "", "slow-usb"},
        {"dir/st.bin?adapter=native", "dir/st.bin", "native"},
        {"odd?name.bin", "odd?name.bin", "ideal"},
    };
    for (const Case& c : cases) {
        const SimulatorTarget target = ParseSimulatorTarget(c.text);
        EXPECT_EQ(target.imageFile.string(), c.file) << c.text;
        EXPECT_EQ(target.adapter.name, c.adapter) << c.text;
    }
}

TEST(SimulatorTarget, UnknownSettingsAreNamed) {
    struct Case {
        const char* text;
        const char* named;
    } cases[] = {
        {"st.bin?adapter=fast",
         "unknown simulated adapter 'fast' (known: ideal, native, usb, slow-usb, ftdi, pl2303)"},
        {"?adapter=", "unknown simulated adapter ''"},
        {"st.bin?speed=9600", "unknown simulator setting 'speed'"},
        {"?adapter=pl2303&status-lag=8", "'status-lag' wants a duration such as 8ms or 500us, not '8'"},
        {"?status-lag=ms", "not 'ms'"},
        {"?status-lag=99999ms", "not '99999ms'"},
        {"?seed=-1", "'seed' wants a number, not '-1'"},
    };
    for (const Case& c : cases) {
        try {
            ParseSimulatorTarget(c.text);
            ADD_FAILURE() << c.text << " was accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
        }
    }
}

TEST(SimulatorTarget, StatusLagAndSeedAreSettable) {
    struct Case {
        const char* text;
        const char* adapter;
        BaseUnit::Nanos lag;
        std::uint32_t seed;
    } cases[] = {
        {"?adapter=pl2303", "pl2303", 4 * Ms, DefaultSimulatorSeed},
        {"st.bin?adapter=pl2303&status-lag=8ms", "pl2303", 8 * Ms, DefaultSimulatorSeed},
        {"?status-lag=500us&adapter=pl2303&seed=7", "pl2303", 500'000, 7},
        {"?adapter=ftdi&status-lag=0", "ftdi", 0, DefaultSimulatorSeed},
    };
    for (const Case& c : cases) {
        const SimulatorTarget target = ParseSimulatorTarget(c.text);
        EXPECT_EQ(target.adapter.name, c.adapter) << c.text;
        EXPECT_EQ(target.adapter.statusLagNanos, c.lag) << c.text;
        EXPECT_EQ(target.seed, c.seed) << c.text;
    }
}

TEST(SimulatorAdapter, StatusReadsCostAndShowWhatTheKernelDriverKnows) {
    struct Case {
        const char* profile;
        BaseUnit::Nanos readCost;
        BaseUnit::Nanos visibleAfter; // from the end of a line change until a read shows it
    } cases[] = {
        {"ideal", 0, 0},         {"native", 5'000, 0},
        {"usb", 10'000, 1 * Ms}, {"slow-usb", 10'000, 16 * Ms},
        {"ftdi", 1 * Ms, 0},     {"pl2303", 10'000, 4 * Ms},
    };
    for (const Case& c : cases) {
        SimulatedSerialPort port(ClockMode::Virtual);
        port.SetAdapter(Profile(c.profile));
        port.baseUnit().SetSilent(port.now());
        port.open("sim", 300);
        port.sleep(50);
        ModemStatus status;
        const auto readsBefore = port.StatusReads();
        auto start = port.now();
        ASSERT_TRUE(port.modemStatus(status));
        EXPECT_EQ(port.now() - start, c.readCost) << c.profile;
        EXPECT_EQ(port.StatusReads(), readsBefore + 1) << c.profile;

        ASSERT_TRUE(port.setDtr(true));
        const auto changed = port.now();
        ASSERT_TRUE(port.modemStatus(status));
        EXPECT_EQ(status.dsr, c.visibleAfter == 0) << c.profile << ": right after the change";
        if (c.visibleAfter > 0) {
            port.clock().sleepUntil(changed + c.visibleAfter - 1);
            ASSERT_TRUE(port.modemStatus(status));
            EXPECT_FALSE(status.dsr) << c.profile << ": just before the lag has passed";
            port.clock().sleepUntil(changed + c.visibleAfter);
            ASSERT_TRUE(port.modemStatus(status));
            EXPECT_TRUE(status.dsr) << c.profile << ": once the lag has passed";
        }
    }
}

TEST(SimulatorAdapter, LineChangeCostAndReportLagFollowTheProfile) {
    struct Case {
        const char* profile;
        BaseUnit::Nanos lineChange; // until the ioctl returns
        BaseUnit::Nanos reported;   // until the wait sees the change
    } cases[] = {
        {"ideal", 0, 0},           {"native", 100'000, 100'000},
        {"usb", 1 * Ms, 2 * Ms},   {"slow-usb", 4 * Ms, 20 * Ms},
        {"ftdi", 1 * Ms, 17 * Ms}, {"pl2303", 1 * Ms, 5 * Ms},
    };
    for (const Case& c : cases) {
        SimulatedSerialPort port(ClockMode::Virtual);
        port.SetAdapter(Profile(c.profile));
        port.baseUnit().SetSilent(port.now());
        port.open("sim", 300);
        port.sleep(50);
        ModemStatus status;
        ASSERT_TRUE(port.modemStatus(status));
        const auto start = port.now();
        ASSERT_TRUE(port.setDtr(true));
        EXPECT_EQ(port.now() - start, c.lineChange) << c.profile;
        bool changed = false;
        ASSERT_TRUE(port.waitDsrChange(100, changed));
        EXPECT_TRUE(changed) << c.profile;
        EXPECT_EQ(port.now() - start, c.reported) << c.profile;
    }
}

TEST(SimulatorAdapter, OpenPulsesBothLinesAndALateAdapterReportsItAfterwards) {
    for (const char* profile : {"ideal", "native", "usb", "slow-usb", "ftdi", "pl2303"}) {
        SimulatedSerialPort port(ClockMode::Virtual);
        port.SetAdapter(Profile(profile));
        port.baseUnit().SetSilent(port.now());
        port.open("sim", 300);
        EXPECT_FALSE(port.Rts() || port.Dtr()) << profile << ": released once the open is done";
        EXPECT_EQ(port.LineChanges(), 0u) << profile << ": the kernel's pulse is not the program's";
        bool changed = false;
        ASSERT_TRUE(port.waitDsrChange(50, changed));
        const bool late = Profile(profile).statusLagNanos > 0;
        EXPECT_EQ(changed, late) << profile << ": the open's own edge shows up after the open";
    }
}

TEST(SimulatorImage, ASecondHolderIsRefusedAndOnlyTheHolderWritesBack) {
    TempDir dir;
    const auto file = dir / "station.bin";
    auto holder = std::make_unique<SimulatedSerialPort>(ClockMode::Virtual, file);
    holder->open("sim:" + file.string(), 300);
    holder->eeprom().bytes()[100] = 0x11;
    {
        SimulatedSerialPort second(ClockMode::Virtual, file);
        try {
            second.open("sim:" + file.string(), 300);
            FAIL() << "two holders of one image";
        } catch (const os_error& e) {
            EXPECT_NE(std::string(e.what()).find("is in use by another program"), std::string::npos)
                << e.what();
            EXPECT_EQ(e.code(), EBUSY);
        }
        EXPECT_FALSE(second.isOpen());
        second.eeprom().bytes()[100] = 0x22;
    } // the refused port goes without writing anything
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(std::filesystem::exists(dir / "station.bin.lock"));
    EXPECT_TRUE(holder->close());
    EXPECT_EQ(static_cast<std::uint8_t>(ReadWholeFile(file)[100]), 0x11);
    EXPECT_FALSE(std::filesystem::exists(dir / "station.bin.lock")) << "a clean close leaves no lock file";

    SimulatedSerialPort next(ClockMode::Virtual, file);
    ASSERT_NO_THROW(next.open("sim:" + file.string(), 300)) << "free again once closed";
    EXPECT_EQ(next.eeprom().bytes()[100], 0x11);
    EXPECT_THROW(holder->open("sim:" + file.string(), 300), os_error) << "the first is refused now";
}

TEST(SimulatorImage, ReopenReadsWhatAnotherHolderWroteMeanwhile) {
    TempDir dir;
    const auto file = dir / "station.bin";
    SimulatedSerialPort first(ClockMode::Virtual, file);
    first.open("sim", 300);
    first.close();
    {
        SimulatedSerialPort other(ClockMode::Virtual, file);
        other.open("sim", 300);
        other.eeprom().bytes()[200] = 0x5A;
        other.close();
    }
    first.open("sim", 300);
    EXPECT_EQ(first.eeprom().bytes()[200], 0x5A);
}

TEST(SimulatorAdapter, TwoLinesSetByOneRequestMoveInEitherOrderAsTheSeedChooses) {
    // DTR first lets SDA rise on a high clock: a STOP right after the fifth byte's first bit, which
    // commits the four latched bytes. RTS first is a clock and nothing else.
    enum class End { Close, Death };
    for (const End end : {End::Close, End::Death}) {
        std::set<int> outcomes;
        for (std::uint32_t seed = 1; seed <= 16; ++seed) {
            SimulatedSerialPort port(ClockMode::Virtual);
            port.SetSeed(seed);
            port.baseUnit().SetSilent(port.now());
            port.open("sim", 300);
            CutOffPageWrite(port);
            ASSERT_EQ(port.eeprom().PageWrites(), 0);
            if (end == End::Close)
                port.close();
            else
                port.HolderDied();
            const int committed = port.eeprom().PageWrites();
            outcomes.insert(committed);
            if (committed)
                EXPECT_EQ(port.eeprom().bytes()[0x54], 0x44) << seed;
            else
                EXPECT_EQ(port.eeprom().bytes()[0x54], 0xFF) << seed;
        }
        EXPECT_EQ(outcomes, (std::set<int>{0, 1})) << "both orders occur among the seeds";
    }
}

TEST(SimulatorAdapter, HolderDyingMidTransferLeavesTheBusAsHangUpOnCloseSays) {
    struct Case {
        bool hangUpOnClose;
        bool busHeldLow;
        int recordingsWhileDead;
    } cases[] = {
        {true, false, 5},
        {false, true, 0},
    };
    for (const Case& c : cases) {
        SimulatedSerialPort port(ClockMode::Virtual);
        port.SetAdapter(Profile("usb"));
        port.SetHangUpOnClose(c.hangUpOnClose);
        port.baseUnit().SetSilent(port.now());
        int recordings = 0;
        port.baseUnit().SetRecording(
            60'000 * Ms,
            [&](std::span<std::uint8_t>, std::chrono::system_clock::time_point) { ++recordings; },
            port.now());
        port.open("sim", 300);
        ASSERT_TRUE(port.setDtr(true)); // mid-transfer: the PC holds SCL and SDA low
        ASSERT_TRUE(port.setRts(true));
        port.HolderDied();
        EXPECT_EQ(port.Dtr() && port.Rts(), c.busHeldLow) << c.hangUpOnClose;
        port.sleep(5 * 60'000 + 1'000);
        EXPECT_EQ(recordings, c.recordingsWhileDead) << c.hangUpOnClose;

        port.open("sim", 300); // the next run
        EXPECT_FALSE(port.Dtr() || port.Rts());
        port.sleep(3 * 60'000);
        EXPECT_GT(recordings, c.recordingsWhileDead) << "the station records again once released";
    }
}
