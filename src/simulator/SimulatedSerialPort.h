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
    bool isOpen() const override { return _open; }

    bool setRts(bool asserted) override { return SetLine(_rts, asserted); }
    bool setDtr(bool asserted) override { return SetLine(_dtr, asserted); }
    bool modemStatus(ModemStatus& status) override;
    bool waitDsrChange(std::uint32_t milliseconds, bool& changed) override;
    DummyWrite startDummyWrite(const std::uint8_t* bytes, std::size_t size) override;
    void settleDelay() override {
        _clock.busyWait(SettleTime);
        CatchUp();
    }
    void sleep(std::uint32_t milliseconds) override;
    std::int64_t clockNanos() override { return _clock.now(); }
    void pauseNanos(std::int64_t nanos) override {
        _clock.busyWait(nanos);
        CatchUp();
    }
    PortSettings settings() const override;

    static constexpr Nanos SettleTime = 10'000; // 10 µs

    void SetAdapter(const AdapterProfile& adapter) { _adapter = adapter; }
    const AdapterProfile& Adapter() const { return _adapter; }
    // The seed of the simulator's choices: the order in which RTS and DTR move when one request
    // (an open, a close, the kernel's clean-up after a death) changes both.
    void SetSeed(std::uint32_t seed) {
        _random.seed(seed);
        _base.SetSeed(seed);
    }
    // Whether the kernel drops RTS and DTR when the last descriptor closes (termios HUPCL), as
    // the Posix port sets it. Without it a holder that dies keeps the bus lines where they were.
    void SetHangUpOnClose(bool hangUp) { _hangUpOnClose = hangUp; }
    // The holding process dies (crash, kill -9): no close by the program, the kernel closes the
    // descriptor and releases the image's lock; the lines follow SetHangUpOnClose. The station
    // keeps its memory (the image is written as the EEPROM stands).
    void HolderDied();

    SimClock& clock() { return _clock; }
    Eeprom& eeprom() { return _eeprom; }
    BaseUnit& baseUnit() { return _base; }
    Nanos now() const { return _clock.now(); }

    // Fault: the device disappears (unplugged adapter); every call fails until it is back, and a
    // port open at the time stays dead until it is opened again, as a Linux descriptor does.
    void SetVanished(bool vanished) {
        _vanished = vanished;
        _dead = _dead || (vanished && _open);
    }
    // Line changes made by the PC since construction.
    std::uint64_t LineChanges() const { return _lineChanges; }
    // Status reads made by the PC since construction.
    std::uint64_t StatusReads() const { return _statusReads; }
    // Time the PC spent in sleeps and in waits for a DSR change since construction: the protocol's
    // own waits (synchronisation windows, write cycles), as opposed to waits for a level to show.
    Nanos WaitedNanos() const { return _waitedNanos; }
    bool Rts() const { return _rts; }
    bool Dtr() const { return _dtr; }
    // Opens of this port since construction.
    int Opens() const { return _opens; }

private:
    bool Usable();
    bool SetLine(bool& line, bool asserted) {
        if (!Usable())
            return false;
        _clock.busyWait(_adapter.lineChangeNanos); // the line moves when the request is done
        CatchUp();
        ++_lineChanges;
        line = asserted;
        if (asserted)
            _base.PcActivity(_clock.now());
        BusChanged(_clock.now());
        return true;
    }
    // Both outputs set by one request: they move one after the other, in an order of the seed's
    // choosing, and the bus sees each move.
    void SetBothLines(bool asserted) {
        const bool rtsFirst = (_random() & 1u) != 0;
        (rtsFirst ? _rts : _dtr) = asserted;
        BusChanged(_clock.now());
        (rtsFirst ? _dtr : _rts) = asserted;
        BusChanged(_clock.now());
    }
    // What the modem inputs showed at t (CTS: SDA low, DSR: SCL low).
    ModemStatus LevelsAt(Nanos t);
    // Nothing earlier than the lag will be asked for again.
    void ForgetLevelsBefore(Nanos t) {
        while (_levels.size() > 1 && _levels[1].at <= t)
            _levels.pop_front();
    }
    void CatchUp() {
        if (_base.Next() <= _clock.now())
            RunBaseUnit(_clock.now());
        DeliverDsrReports(_clock.now());
    }
    void DeliverDsrReports(Nanos now) {
        while (!_dsrReports.empty() && _dsrReports.front() <= now) {
            _dsrReports.pop_front();
            ++_dsrEdges;
        }
    }
    void RunBaseUnit(Nanos until);
    void BusChanged(Nanos now) {
        const bool sclLow = _dtr || _base.SclLow();
        if (sclLow != _busSclLow) {
            _busSclLow = sclLow;
            if (_adapter.statusLagNanos > 0)
                _dsrReports.push_back(now + _adapter.statusLagNanos);
            else
                ++_dsrEdges;
        }
        _eeprom.OnBus(!(_rts || _eeprom.SdaLow()), !sclLow, now);
        const ModemStatus levels{_rts || _eeprom.SdaLow(), sclLow};
        if (levels.cts != _levels.back().status.cts || levels.dsr != _levels.back().status.dsr) {
            _levels.push_back({now, levels});
            ForgetLevelsBefore(now - _adapter.statusLagNanos);
        }
    }
    void LoadImage();
    void LockImage(const std::string& name);
    void SaveImage();

    SimClock _clock;
    Eeprom _eeprom;
    BaseUnit _base;
    std::filesystem::path _imageFile;
    InitialImage _initialImage;
    bool _imageLoaded = false;
    EepromImageLock _lock;
    AdapterProfile _adapter = IdealAdapter();
    bool _hangUpOnClose = true;
    bool _busHeld = false; // lines left asserted by a holder that died
    int _opens = 0;

    bool _open = false;
    bool _vanished = false;
    bool _dead = false; // open while the device vanished
    bool _rts = false, _dtr = false;
    bool _busSclLow = false;
    std::uint64_t _dsrEdges = 0, _dsrSeen = 0; // reported DSR changes, and those looked at
    std::deque<Nanos> _dsrReports;             // edges not reported yet: when they will be
    std::uint64_t _lineChanges = 0;
    std::uint64_t _statusReads = 0;
    Nanos _waitedNanos = 0;
    struct Levels {
        Nanos at;
        ModemStatus status;
    };
    std::deque<Levels> _levels; // the inputs' history, as far back as a cached status may show
    std::mt19937 _random{DefaultSimulatorSeed};
};
