#pragma once

#include "platform/SerialPort.h"
#include "simulator/BaseUnit.h"
#include "simulator/Eeprom.h"
#include "simulator/SimClock.h"

#include <filesystem>
#include <functional>
#include <span>

// The station base unit behind its adapter, seen through a serial port, line change by line change.
// The adapter inverts: an asserted RTS/DTR pulls SDA/SCL low, an asserted CTS/DSR reports a low
// line. Each bus line is the wired-AND of the PC, the EEPROM and the base unit.
class SimulatedSerialPort : public SerialPort {
public:
    using Nanos = SimClock::Nanos;
    // Fills a fresh EEPROM when there is no image file yet (demo data).
    using InitialImage = std::function<void(std::span<std::uint8_t>)>;

    // imageFile empty: the EEPROM lives as long as this object. Otherwise it is loaded from the
    // file at the first open (or made by initialImage when the file is missing) and written back
    // at every close.
    explicit SimulatedSerialPort(ClockMode mode = ClockMode::Virtual, std::filesystem::path imageFile = {},
                                 InitialImage initialImage = {});
    ~SimulatedSerialPort() override;

    void open(const std::string& name, std::uint32_t baudRate) override;
    bool close() override;
    bool isOpen() const override { return _open; }

    bool setRts(bool asserted) override { return SetLine(_rts, asserted); }
    bool setDtr(bool asserted) override { return SetLine(_dtr, asserted); }
    bool modemStatus(ModemStatus& status) override {
        if (!Usable())
            return false;
        CatchUp();
        status.cts = _rts || _eeprom.SdaLow();
        status.dsr = _dtr || _base.SclLow();
        _dsrSeen = _dsrEdges;
        return true;
    }
    bool waitDsrChange(std::uint32_t milliseconds, bool& changed) override;
    DummyWrite startDummyWrite(const std::uint8_t* bytes, std::size_t size) override;
    void settleDelay() override {
        _clock.busyWait(SettleTime);
        CatchUp();
    }
    void sleep(std::uint32_t milliseconds) override;
    PortSettings settings() const override;

    static constexpr Nanos SettleTime = 10'000; // 10 µs

    SimClock& clock() { return _clock; }
    Eeprom& eeprom() { return _eeprom; }
    BaseUnit& baseUnit() { return _base; }
    Nanos now() const { return _clock.now(); }

    // Fault: the device disappears (unplugged adapter); every call fails until it is back.
    void SetVanished(bool vanished) { _vanished = vanished; }
    // Line changes made by the PC since construction.
    std::uint64_t LineChanges() const { return _lineChanges; }
    bool Rts() const { return _rts; }
    bool Dtr() const { return _dtr; }

private:
    bool Usable();
    bool SetLine(bool& line, bool asserted) {
        if (!Usable())
            return false;
        CatchUp();
        ++_lineChanges;
        line = asserted;
        if (asserted)
            _base.PcActivity(_clock.now());
        BusChanged(_clock.now());
        return true;
    }
    void CatchUp() {
        if (_base.Next() <= _clock.now())
            RunBaseUnit(_clock.now());
    }
    void RunBaseUnit(Nanos until);
    void BusChanged(Nanos now) {
        const bool sclLow = _dtr || _base.SclLow();
        if (sclLow != _busSclLow) {
            _busSclLow = sclLow;
            ++_dsrEdges;
        }
        _eeprom.OnBus(!(_rts || _eeprom.SdaLow()), !sclLow, now);
    }
    void LoadImage();

    SimClock _clock;
    Eeprom _eeprom;
    BaseUnit _base;
    std::filesystem::path _imageFile;
    InitialImage _initialImage;
    bool _imageLoaded = false;

    bool _open = false;
    bool _vanished = false;
    bool _rts = false, _dtr = false;
    bool _busSclLow = false;
    std::uint64_t _dsrEdges = 0, _dsrSeen = 0;
    std::uint64_t _lineChanges = 0;
};
