#pragma once

#include <cstdint>

class SerialPort;

// Comm event mask for a change of the DSR line (SCL).
inline constexpr std::uint32_t EV_DSR = 0x0010;

// A timed wait for a change on a modem-status line of an open port.
class CWaitCommEvent {
public:
    CWaitCommEvent(SerialPort& port, std::uint32_t eventMask);
    CWaitCommEvent(const CWaitCommEvent&) = delete;
    CWaitCommEvent& operator=(const CWaitCommEvent&) = delete;

    // True when an event of the mask occurred within the time (or since the port was last looked
    // at), false when the time ran out; raises os_error on failure.
    bool Wait(std::uint32_t milliseconds);

private:
    SerialPort& _Port;
    std::uint32_t _EventMask;
};
