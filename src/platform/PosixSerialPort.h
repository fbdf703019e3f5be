#pragma once

#include "platform/DsrChangeTracker.h"
#include "platform/SerialPort.h"
#include "platform/SystemRoots.h"
#include "platform/TtySysfs.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <termios.h>
#include <thread>
#include <vector>

// A Linux serial device (/dev/ttyS*, /dev/ttyUSB*) through termios and the modem-line ioctls.
// Opened exclusively, 8N1 without flow control, the lines dropped by the kernel at the last close;
// the system console is refused before it is opened. DSR changes are seen by polling the line,
// and through the driver's interrupt counters where it keeps them.
class PosixSerialPort : public SerialPort {
public:
    explicit PosixSerialPort(SystemRoots roots = {});
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    void open(const std::string& name, std::uint32_t baudRate) override;
    bool close() override;
    bool isOpen() const override { return m_fd >= 0; }

    bool setRts(bool asserted) override { return SetModemBit(0x004 /*TIOCM_RTS*/, asserted); }
    bool setDtr(bool asserted) override { return SetModemBit(0x002 /*TIOCM_DTR*/, asserted); }
    bool modemStatus(ModemStatus& status) override;
    bool waitDsrChange(std::uint32_t milliseconds, bool& changed) override;
    DummyWrite startDummyWrite(const std::uint8_t* bytes, std::size_t size) override;
    void settleDelay() override;
    void sleep(std::uint32_t milliseconds) override;
    PortSettings settings() const override { return m_settings; }

private:
    // Everything after the device opened: lock, line settings, what the driver is.
    void Configure(const std::string& device, const std::string& shown, std::uint32_t baudRate);
    bool SetModemBit(int bit, bool asserted);
    std::optional<std::uint64_t> ReadDsrCount();
    void DescribeDriver(const std::string& device, bool hangUpOnClose);
    void StopDummyWrite();
    void DummyWriteLoop();

    int m_fd = -1;
    int m_stopPipe[2] = {-1, -1};
    PortSettings m_settings;
    SystemRoots m_roots;
    TtyInfo m_tty;
    DsrChangeTracker m_dsr;
    bool m_countersMissLogged = false;
    std::vector<std::uint8_t> m_dummy;
    std::thread m_writer;
    std::atomic<bool> m_writing{false};
};
