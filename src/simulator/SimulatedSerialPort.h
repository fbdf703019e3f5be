#pragma once

#include "platform/SerialPort.h"
#include "simulator/AdapterProfile.h"
#include "simulator/BaseUnit.h"
#include "simulator/Eeprom.h"
#include "simulator/EepromImageLock.h"
#include "simulator/SimClock.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <random>
#include <span>

// The station base unit behind its adapter, seen through a serial port, line change by line change.
// The adapter inverts: an asserted RTS/DTR pulls SDA/SCL low, an asserted CTS/DSR reports a low
// line. Each bus line is the wired-AND of the PC, the EEPROM and the base unit.
// Like a Linux serial port, an open raises RTS and DTR until the port's own set-up clears them;
// the adapter profile sets what a line change and a status read cost and how late changes show.
// With an image file the station is exclusive: a second opener of the same file, in this process
// or another, is refused until the holder closes.
class SimulatedSerialPort : public SerialPort {
public:
    using Nanos = SimClock::Nanos;
    // Fills a fresh EEPROM when there is no image file yet (demo data).
    using InitialImage = std::function<void(std::span<std::uint8_t>)>;

    // imageFile empty: the EEPROM lives as long as this object. Otherwise it is loaded from the
    // file at the first open (or made by initialImage when the file is missing) and written back
    // by the holder at every close.
    explicit SimulatedSerialPort(ClockMode mode = ClockMode::Virtual, std::filesystem::path imageFile = {},
                                 InitialImage initialImage = {});
    ~SimulatedSerialPort() override;

    void open(const std::string& name, std::uint32_t baudRate) override;
    bool close() override;
    bool isOpen() const override { return m_open; }

    bool setRts(bool asserted) override { return SetLine(m_rts, asserted); }
    bool setDtr(bool asserted) override { return SetLine(m_dtr, asserted); }
    bool modemStatus(ModemStatus& status) override;
    bool waitDsrChange(std::uint32_t milliseconds, bool& changed) override;
    DummyWrite startDummyWrite(const std::uint8_t* bytes, std::size_t size) override;
    void settleDelay() override {
        m_clock.busyWait(SettleTime);
        CatchUp();
    }
    void sleep(std::uint32_t milliseconds) override;
    std::int64_t clockNanos() override { return m_clock.now(); }
    void pauseNanos(std::int64_t nanos) override {
        m_clock.busyWait(nanos);
        CatchUp();
    }
    PortSettings settings() const override;

    static constexpr Nanos SettleTime = 10'000; // 10 µs

    void SetAdapter(const AdapterProfile& adapter) { m_adapter = adapter; }
    const AdapterProfile& Adapter() const { return m_adapter; }
    // The seed of the simulator's choices: the order in which RTS and DTR move when one request
    // (an open, a close, the kernel's clean-up after a death) changes both.
    void SetSeed(std::uint32_t seed) {
        m_random.seed(seed);
        m_base.SetSeed(seed);
    }
    // Whether the kernel drops RTS and DTR when the last descriptor closes (termios HUPCL), as
    // the Posix port sets it. Without it a holder that dies keeps the bus lines where they were.
    void SetHangUpOnClose(bool hangUp) { m_hangUpOnClose = hangUp; }
    // The holding process dies (crash, kill -9): no close by the program, the kernel closes the
    // descriptor and releases the image's lock; the lines follow SetHangUpOnClose. The station
    // keeps its memory (the image is written as the EEPROM stands).
    void HolderDied();

    SimClock& clock() { return m_clock; }
    Eeprom& eeprom() { return m_eeprom; }
    BaseUnit& baseUnit() { return m_base; }
    Nanos now() const { return m_clock.now(); }

    // Fault: the device disappears (unplugged adapter); every call fails until it is back, and a
    // port open at the time stays dead until it is opened again, as a Linux descriptor does.
    void SetVanished(bool vanished) {
        m_vanished = vanished;
        m_dead = m_dead || (vanished && m_open);
    }
    // Line changes made by the PC since construction.
    std::uint64_t LineChanges() const { return m_lineChanges; }
    // Status reads made by the PC since construction.
    std::uint64_t StatusReads() const { return m_statusReads; }
    // Time the PC spent in sleeps and in waits for a DSR change since construction: the protocol's
    // own waits (synchronisation windows, write cycles), as opposed to waits for a level to show.
    Nanos WaitedNanos() const { return m_waitedNanos; }
    bool Rts() const { return m_rts; }
    bool Dtr() const { return m_dtr; }
    // Opens of this port since construction.
    int Opens() const { return m_opens; }

private:
    bool Usable();
    bool SetLine(bool& line, bool asserted) {
        if (!Usable())
            return false;
        m_clock.busyWait(m_adapter.lineChangeNanos); // the line moves when the request is done
        CatchUp();
        ++m_lineChanges;
        line = asserted;
        if (asserted)
            m_base.PcActivity(m_clock.now());
        BusChanged(m_clock.now());
        return true;
    }
    // Both outputs set by one request: they move one after the other, in an order of the seed's
    // choosing, and the bus sees each move.
    void SetBothLines(bool asserted) {
        const bool rtsFirst = (m_random() & 1u) != 0;
        (rtsFirst ? m_rts : m_dtr) = asserted;
        BusChanged(m_clock.now());
        (rtsFirst ? m_dtr : m_rts) = asserted;
        BusChanged(m_clock.now());
    }
    // What the modem inputs showed at t (CTS: SDA low, DSR: SCL low).
    ModemStatus LevelsAt(Nanos t);
    // Nothing earlier than the lag will be asked for again.
    void ForgetLevelsBefore(Nanos t) {
        while (m_levels.size() > 1 && m_levels[1].at <= t)
            m_levels.pop_front();
    }
    void CatchUp() {
        if (m_base.Next() <= m_clock.now())
            RunBaseUnit(m_clock.now());
        DeliverDsrReports(m_clock.now());
    }
    void DeliverDsrReports(Nanos now) {
        while (!m_dsrReports.empty() && m_dsrReports.front() <= now) {
            m_dsrReports.pop_front();
            ++m_dsrEdges;
        }
    }
    void RunBaseUnit(Nanos until);
    void BusChanged(Nanos now) {
        const bool sclLow = m_dtr || m_base.SclLow();
        if (sclLow != m_busSclLow) {
            m_busSclLow = sclLow;
            if (m_adapter.statusLagNanos > 0)
                m_dsrReports.push_back(now + m_adapter.statusLagNanos);
            else
                ++m_dsrEdges;
        }
        m_eeprom.OnBus(!(m_rts || m_eeprom.SdaLow()), !sclLow, now);
        const ModemStatus levels{m_rts || m_eeprom.SdaLow(), sclLow};
        if (levels.cts != m_levels.back().status.cts || levels.dsr != m_levels.back().status.dsr) {
            m_levels.push_back({now, levels});
            ForgetLevelsBefore(now - m_adapter.statusLagNanos);
        }
    }
    void LoadImage();
    void LockImage(const std::string& name);
    void SaveImage();

    SimClock m_clock;
    Eeprom m_eeprom;
    BaseUnit m_base;
    std::filesystem::path m_imageFile;
    InitialImage m_initialImage;
    bool m_imageLoaded = false;
    EepromImageLock m_lock;
    AdapterProfile m_adapter = IdealAdapter();
    bool m_hangUpOnClose = true;
    bool m_busHeld = false; // lines left asserted by a holder that died
    int m_opens = 0;

    bool m_open = false;
    bool m_vanished = false;
    bool m_dead = false; // open while the device vanished
    bool m_rts = false, m_dtr = false;
    bool m_busSclLow = false;
    std::uint64_t m_dsrEdges = 0, m_dsrSeen = 0; // reported DSR changes, and those looked at
    std::deque<Nanos> m_dsrReports;              // edges not reported yet: when they will be
    std::uint64_t m_lineChanges = 0;
    std::uint64_t m_statusReads = 0;
    Nanos m_waitedNanos = 0;
    struct Levels {
        Nanos at;
        ModemStatus status;
    };
    std::deque<Levels> m_levels; // the inputs' history, as far back as a cached status may show
    std::mt19937 m_random{DefaultSimulatorSeed};
};
