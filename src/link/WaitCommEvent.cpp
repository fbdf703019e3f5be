#include "link/WaitCommEvent.h"

#include "base/Check.h"
#include "platform/SerialPort.h"

CWaitCommEvent::CWaitCommEvent(SerialPort& port, std::uint32_t modemLines) : m_port(port) {
    Check(modemLines == TIOCM_DSR) << "Only DSR changes can be awaited";
}

bool CWaitCommEvent::Wait(std::uint32_t milliseconds) {
    bool changed = false;
    OsCheck(m_port.waitDsrChange(milliseconds, changed))
        << "Call to WaitCommEvent in CWaitCommEvent::Wait failed";
    return changed;
}
