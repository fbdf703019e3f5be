#pragma once

#include "platform/SerialPort.h"

#include <string>
#include <vector>

// A port that writes down every line step the driver makes, as bus levels ("SdaLow" for an
// asserted RTS), and every read ("read"). SDA reads as scripted, one value per read; without a
// script it reads low while the PC drives it low, and while SCL is low when sdaReadsLow (a slave's
// acknowledge, looked at before the clock), otherwise high. SCL reads as the PC drives it unless
// sclReadsLow. Reads repeated while the driver waits for a level are written down as one.
class RecordingPort : public SerialPort {
public:
    void open(const std::string&, std::uint32_t) override { m_open = true; }
    bool close() override {
        m_open = false;
        return true;
    }
    bool isOpen() const override { return m_open; }
    bool setRts(bool asserted) override {
        steps.push_back(asserted ? "SdaLow" : "SdaHigh");
        m_sdaDriven = asserted;
        return true;
    }
    bool setDtr(bool asserted) override {
        steps.push_back(asserted ? "SclLow" : "SclHigh");
        m_sclDriven = asserted;
        return true;
    }
    bool modemStatus(ModemStatus& status) override {
        // Reads with pauses between them wait for one level: one look.
        if (!(m_paused && !steps.empty() && steps.back() == "read"))
            steps.push_back("read");
        m_paused = false;
        status.cts = m_sdaDriven || (m_sclDriven && sdaReadsLow);
        if (!scriptedSdaLow.empty()) {
            status.cts = scriptedSdaLow.front();
            scriptedSdaLow.erase(scriptedSdaLow.begin());
        }
        status.cts = status.cts || sdaHeld;
        status.dsr = m_sclDriven || sclReadsLow;
        return true;
    }
    bool waitDsrChange(std::uint32_t, bool& changed) override {
        changed = false;
        return true;
    }
    DummyWrite startDummyWrite(const std::uint8_t*, std::size_t) override { return DummyWrite::Pending; }
    void settleDelay() override { ++settles; }
    void sleep(std::uint32_t) override { steps.push_back("sleep"); }
    // A clock that moves only with the driver's pauses: no wait of the driver depends on real time.
    std::int64_t clockNanos() override { return m_clock; }
    void pauseNanos(std::int64_t nanos) override {
        m_clock += nanos;
        m_paused = true;
    }
    PortSettings settings() const override { return reported; }

    PortSettings reported; // what settings() gives back
    std::vector<std::string> steps;
    int settles = 0;
    bool sdaReadsLow = true;
    bool sclReadsLow = false;
    bool sdaHeld = false; // SDA reads low whatever else applies (a slave holding it)
    // Levels for the next reads, one each, before sdaReadsLow applies again (true = low).
    std::vector<bool> scriptedSdaLow;

private:
    bool m_open = false;
    bool m_sdaDriven = false, m_sclDriven = false;
    std::int64_t m_clock = 0;
    bool m_paused = false;
};
