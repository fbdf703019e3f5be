#pragma once

#include "simulator/SimulatedSerialPort.h"

#include <cstdint>
#include <functional>
#include <memory>

// The simulated station's port with a trigger: an action that runs on the worker thread at a
// chosen line change of the PC, so a fault strikes at a reproducible point of an import.
// It also reports every completed EEPROM page write, so a write can be undone (a lost write).
class FaultPort : public SerialPort {
public:
    explicit FaultPort(std::shared_ptr<SimulatedSerialPort> station) : _station(std::move(station)) {}

    SimulatedSerialPort& Station() { return *_station; }

    // Runs action once, right after line change number at (counted from now on).
    void ArmAt(std::uint64_t at, std::function<void()> action) {
        _triggerAt = _station->LineChanges() + at;
        _action = std::move(action);
    }
    // Called after every completed page write until cleared.
    void OnPageWrite(std::function<void()> action) {
        _pageWrites = _station->eeprom().PageWrites();
        _onPageWrite = std::move(action);
    }
    void Disarm() {
        _action = nullptr;
        _onPageWrite = nullptr;
    }

    void open(const std::string& name, std::uint32_t baudRate) override { _station->open(name, baudRate); }
    bool close() override { return _station->close(); }
    bool isOpen() const override { return _station->isOpen(); }
    bool setRts(bool asserted) override { return After(_station->setRts(asserted)); }
    bool setDtr(bool asserted) override { return After(_station->setDtr(asserted)); }
    bool modemStatus(ModemStatus& status) override { return _station->modemStatus(status); }
    bool waitDsrChange(std::uint32_t milliseconds, bool& changed) override {
        return _station->waitDsrChange(milliseconds, changed);
    }
    DummyWrite startDummyWrite(const std::uint8_t* bytes, std::size_t size) override {
        return _station->startDummyWrite(bytes, size);
    }
    void settleDelay() override { _station->settleDelay(); }
    void sleep(std::uint32_t milliseconds) override { _station->sleep(milliseconds); }
    std::int64_t clockNanos() override { return _station->clockNanos(); }
    void pauseNanos(std::int64_t nanos) override { _station->pauseNanos(nanos); }
    PortSettings settings() const override { return _station->settings(); }

private:
    bool After(bool ok) {
        if (_action && _station->LineChanges() >= _triggerAt) {
            auto action = std::move(_action);
            _action = nullptr;
            action();
        }
        if (_onPageWrite && _station->eeprom().PageWrites() != _pageWrites) {
            _pageWrites = _station->eeprom().PageWrites();
            _onPageWrite();
        }
        return ok;
    }

    std::shared_ptr<SimulatedSerialPort> _station;
    std::uint64_t _triggerAt = 0;
    std::function<void()> _action;
    int _pageWrites = 0;
    std::function<void()> _onPageWrite;
};
