#include "link/WaitCommEvent.h"

#include "base/Check.h"
#include "platform/SerialPort.h"

CWaitCommEvent::CWaitCommEvent(SerialPort& port, std::uint32_t eventMask)
    : _Port(port), _EventMask(eventMask) {
    Check(_EventMask == EV_DSR) << "Only DSR changes can be awaited";
}

bool CWaitCommEvent::Wait(std::uint32_t milliseconds) {
    bool changed = false;
    OsCheck(_Port.waitDsrChange(milliseconds, changed))
        << "Call to WaitCommEvent in CWaitCommEvent::Wait failed";
    return changed;
}
