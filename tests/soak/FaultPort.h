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
    explicit FaultPort(std::shared_ptr<SimulatedSerialPort> station) : m_station(std::move(station)) {}

    SimulatedSerialPort& Station() { return *m_station; }

    // Runs action once, right after line change number at (counted from now on).
    void ArmAt(std::uint64_t at, std::function<void()> action) {
        m_triggerAt = m_station->LineChanges() + at;
        m_action = std::move(action);
    }
    // Called after every completed page write until cleared.
    void OnPageWrite(std::function<void()> action) {
        m_pageWrites = m_station->eeprom().PageWrites();
        m_onPageWrite = std::move(action);
    }
    void Disarm() {
        m_action = nullptr;
        m_onPageWrite = nullptr;
    }

    void open(const std::string& name, std::uint32_t baudRate) override { m_station->open(name, baudRate); }
    bool close() override { return m_station->close(); }
    bool isOpen() const override { return m_station->isOpen(); }
    bool setRts(bool asserted) override { return After(m_station->setRts(asserted)); }
    bool setDtr(bool asserted) override { return After(m_station->setDtr(asserted)); }
    bool modemStatus(ModemStatus& status) override { return m_station->modemStatus(status); }
    bool waitDsrChange(std::uint32_t milliseconds, bool& changed) override {
        return m_station->waitDsrChange(milliseconds, changed);
    }
    DummyWrite startDummyWrite(const std::uint8_t* bytes, std::size_t size) override {
        return m_station->startDummyWrite(bytes, size);
    }
    void settleDelay() override { m_station->settleDelay(); }
    void sleep(std::uint32_t milliseconds) override { m_station->sleep(milliseconds); }
    std::int64_t clockNanos() override { return m_station->clockNanos(); }
    void pauseNanos(std::int64_t nanos) override { m_station->pauseNanos(nanos); }
    PortSettings settings() const override { return m_station->settings(); }

private:
    bool After(bool ok) {
        if (m_action && m_station->LineChanges() >= m_triggerAt) {
            auto action = std::move(m_action);
            m_action = nullptr;
            action();
        }
        if (m_onPageWrite && m_station->eeprom().PageWrites() != m_pageWrites) {
            m_pageWrites = m_station->eeprom().PageWrites();
            m_onPageWrite();
        }
        return ok;
    }

    std::shared_ptr<SimulatedSerialPort> m_station;
    std::uint64_t m_triggerAt = 0;
    std::function<void()> m_action;
    int m_pageWrites = 0;
    std::function<void()> m_onPageWrite;
};
