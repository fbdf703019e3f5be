#pragma once

#include "platform/SerialPort.h"

#include <string>
#include <vector>

// A port that writes down every line step the driver makes, as bus levels ("SdaLow" for an
// asserted RTS), and every read ("read"). SDA reads as scripted, one value per read; without a
// script it reads low while the PC drives it low, and while SCL is low when sdaReadsLow (a slave's
// acknowledge, looked at before the clock), otherwise high. SCL reads as the PC drives it unless
// sclReadsLow.
class RecordingPort : public SerialPort {
public:
    void open(const std::string&, std::uint32_t) override { _open = true; }
    bool close() override {
        _open = false;
        return true;
    }
    bool isOpen() const override { return _open; }
    bool setRts(bool asserted) override {
        steps.push_back(asserted ? "SdaLow" : "SdaHigh");
        _sdaDriven = asserted;
        return true;
    }
    bool setDtr(bool asserted) override {
        steps.push_back(asserted ? "SclLow" : "SclHigh");
        _sclDriven = asserted;
        return true;
    }
    bool modemStatus(ModemStatus& status) override {
        steps.push_back("read");
        status.cts = _sdaDriven || (_sclDriven && sdaReadsLow);
        if (!scriptedSdaLow.empty()) {
            status.cts = scriptedSdaLow.front();
            scriptedSdaLow.erase(scriptedSdaLow.begin());
        }
        status.dsr = _sclDriven || sclReadsLow;
        return true;
    }
    bool waitDsrChange(std::uint32_t, bool& changed) override {
        changed = false;
        return true;
    }
    DummyWrite startDummyWrite(const std::uint8_t*, std::size_t) override { return DummyWrite::Pending; }
    void settleDelay() override { ++settles; }
    void sleep(std::uint32_t) override { steps.push_back("sleep"); }
    PortSettings settings() const override { return {}; }

    std::vector<std::string> steps;
    int settles = 0;
    bool sdaReadsLow = true;
    bool sclReadsLow = false;
    // Levels for the next reads, one each, before sdaReadsLow applies again (true = low).
    std::vector<bool> scriptedSdaLow;

private:
    bool _open = false;
    bool _sdaDriven = false, _sclDriven = false;
};
