#pragma once

#include <chrono>
#include <cstdint>

enum class ClockMode {
    Virtual, // time moves only by the program's own delays, sleeps and waits
    Real     // wall time, for the demo
};

// Nanoseconds since the clock started; virtual or real.
class SimClock {
public:
    using Nanos = std::int64_t;
    static constexpr Nanos Infinite = INT64_MAX;

    explicit SimClock(ClockMode mode) : m_mode(mode), m_origin(std::chrono::steady_clock::now()) {}

    ClockMode mode() const { return m_mode; }
    bool isVirtual() const { return m_mode == ClockMode::Virtual; }

    Nanos now() const {
        if (m_mode == ClockMode::Virtual)
            return m_virtual;
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                    m_origin)
            .count();
    }

    // A busy wait: the caller keeps the CPU, as a settle delay does.
    void busyWait(Nanos duration) {
        if (m_mode == ClockMode::Virtual) {
            m_virtual += duration;
            return;
        }
        const Nanos until = now() + duration;
        while (now() < until) {
        }
    }

    // Lets time pass until t (never backwards).
    void sleepUntil(Nanos t);

private:
    ClockMode m_mode;
    std::chrono::steady_clock::time_point m_origin;
    Nanos m_virtual = 0;
};
