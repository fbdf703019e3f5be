#pragma once

#include <cstdint>
#include <sys/ioctl.h> // TIOCM_DSR

class SerialPort;

// A timed wait for a change on a modem-status line of an open port. The lines to watch are given
// as TIOCM_* bits, as the kernel's modem-line wait takes them; the port watches DSR (SCL) only.
class CWaitCommEvent {
public:
    CWaitCommEvent(SerialPort& port, std::uint32_t modemLines);
    CWaitCommEvent(const CWaitCommEvent&) = delete;
    CWaitCommEvent& operator=(const CWaitCommEvent&) = delete;

    // True when a watched line changed within the time (or since the port was last looked at),
    // false when the time ran out; raises os_error on failure.
    bool Wait(std::uint32_t milliseconds);

private:
    SerialPort& m_port;
};
