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

    explicit SimClock(ClockMode mode) : _mode(mode), _origin(std::chrono::steady_clock::now()) {}

    ClockMode mode() const { return _mode; }
    bool isVirtual() const { return _mode == ClockMode::Virtual; }

    Nanos now() const {
        if (_mode == ClockMode::Virtual)
            return _virtual;
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                    _origin)
            .count();
    }

    // A busy wait: the caller keeps the CPU, as a settle delay does.
    void busyWait(Nanos duration) {
        if (_mode == ClockMode::Virtual) {
            _virtual += duration;
            return;
        }
        const Nanos until = now() + duration;
        while (now() < until) {
        }
    }

    // Lets time pass until t (never backwards).
    void sleepUntil(Nanos t);

private:
    ClockMode _mode;
    std::chrono::steady_clock::time_point _origin;
    Nanos _virtual = 0;
};
