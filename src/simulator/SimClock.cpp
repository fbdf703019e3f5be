#include "simulator/SimClock.h"

#include <thread>

void SimClock::sleepUntil(Nanos t) {
    if (_mode == ClockMode::Virtual) {
        if (t > _virtual)
            _virtual = t;
        return;
    }
    if (t == Infinite)
        return;
    std::this_thread::sleep_until(_origin + std::chrono::nanoseconds(t));
}
