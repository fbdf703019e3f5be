#pragma once

#include "platform/PortSettings.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

// Levels of the two modem inputs; true means asserted (the adapter reports a low bus line).
struct ModemStatus {
    bool cts = false;
    bool dsr = false;
};

enum class DummyWrite {
    Completed, // everything went out at once
    Pending,   // the transmit line stays busy until the port is closed
    Failed     // errno tells why
};

// Everything the station link needs of a serial port. The line operations are on the hot path
// of the bit-banged bus: they report failure by returning false with errno set, so the caller
// can name what failed in its own words.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens and configures the port (8N1, no flow control, both outputs cleared);
    // raises os_error naming the step that failed.
    virtual void open(const std::string& name, std::uint32_t baudRate) = 0;
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;

    virtual bool setRts(bool asserted) = 0;
    virtual bool setDtr(bool asserted) = 0;
    virtual bool modemStatus(ModemStatus& status) = 0;

    // Waits at most milliseconds for a DSR change. A change since the last modemStatus() or
    // waitDsrChange() counts at once, so one that happened before the wait started is not lost.
    // Returns false with errno set on failure; changed tells the outcome otherwise.
    virtual bool waitDsrChange(std::uint32_t milliseconds, bool& changed) = 0;

    // Keeps the transmit line busy with the bytes (repeated) until the port is closed.
    virtual DummyWrite startDummyWrite(const std::uint8_t* bytes, std::size_t size) = 0;

    // At least 10 microseconds after every line change.
    virtual void settleDelay() = 0;
    virtual void sleep(std::uint32_t milliseconds) = 0;
    // The port's clock (monotonic nanoseconds) and a short pause on it: the link measures the
    // adapter and waits for levels to show with them. A simulated port answers in its own time.
    virtual std::int64_t clockNanos() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    virtual void pauseNanos(std::int64_t nanos) {
        const std::int64_t until = clockNanos() + nanos;
        while (clockNanos() < until) {
        }
    }

    // The settings read back after open.
    virtual PortSettings settings() const = 0;
};
