#pragma once

#include "simulator/SimulatedSerialPort.h"

#include <condition_variable>
#include <memory>
#include <mutex>

// The simulated station behind a gate: every port call of the worker passes the gate one at a
// time, so the test can change the station between two calls (With) or stop the worker at its
// next call (Hold) until it lets it go on (Release).
class GatedPort : public SerialPort {
public:
    GatedPort() : m_station(std::make_shared<SimulatedSerialPort>(ClockMode::Virtual)) {}

    // Runs f with the station while no port call is under way.
    template <typename F> decltype(auto) With(F&& f) {
        std::unique_lock lock(m_lock);
        return f(*m_station);
    }
    void Hold() {
        std::lock_guard lock(m_lock);
        m_held = true;
    }
    void Release() {
        {
            std::lock_guard lock(m_lock);
            m_held = false;
        }
        m_changed.notify_all();
    }
    // True once the worker waits at the gate.
    bool WorkerWaiting() {
        std::lock_guard lock(m_lock);
        return m_waiting;
    }

private:
    template <typename F> decltype(auto) Pass(F&& f) {
        std::unique_lock lock(m_lock);
        m_waiting = m_held;
        m_changed.wait(lock, [this] { return !m_held; });
        m_waiting = false;
        return f();
    }

public:
    void open(const std::string& name, std::uint32_t baudRate) override {
        Pass([&] { m_station->open(name, baudRate); });
    }
    bool close() override {
        return Pass([&] { return m_station->close(); });
    }
    bool isOpen() const override { return m_station->isOpen(); }
    bool setRts(bool asserted) override {
        return Pass([&] { return m_station->setRts(asserted); });
    }
    bool setDtr(bool asserted) override {
        return Pass([&] { return m_station->setDtr(asserted); });
    }
    bool modemStatus(ModemStatus& status) override {
        return Pass([&] { return m_station->modemStatus(status); });
    }
    bool waitDsrChange(std::uint32_t milliseconds, bool& changed) override {
        return Pass([&] { return m_station->waitDsrChange(milliseconds, changed); });
    }
    DummyWrite startDummyWrite(const std::uint8_t* bytes, std::size_t size) override {
        return Pass([&] { return m_station->startDummyWrite(bytes, size); });
    }
    void settleDelay() override {
        Pass([&] { m_station->settleDelay(); });
    }
    void sleep(std::uint32_t milliseconds) override {
        Pass([&] { m_station->sleep(milliseconds); });
    }
    std::int64_t clockNanos() override {
        return Pass([&] { return m_station->clockNanos(); });
    }
    void pauseNanos(std::int64_t nanos) override {
        Pass([&] { m_station->pauseNanos(nanos); });
    }
    PortSettings settings() const override { return m_station->settings(); }

private:
    std::shared_ptr<SimulatedSerialPort> m_station;
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_held = false;
    bool m_waiting = false;
};
