#include "simulator/SimClock.h"

#include <thread>

void SimClock::sleepUntil(Nanos t) {
    if (m_mode == ClockMode::Virtual) {
        if (t > m_virtual)
            m_virtual = t;
        return;
    }
    if (t == Infinite)
        return;
    std::this_thread::sleep_until(m_origin + std::chrono::nanoseconds(t));
}
