#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// The station's base unit as far as the bus sees it: it drives SCL in a repeating pattern (a low
// phase, then a quiet high phase), keeps off the bus while the PC talks and for a while after, and
// can record a new measurement into the EEPROM on a schedule. All times are nanoseconds of the
// simulator clock.
class BaseUnit {
public:
    using Nanos = std::int64_t;
    static constexpr Nanos Infinite = INT64_MAX;
    static constexpr Nanos Ms = 1'000'000;

    struct Phase {
        bool sclLow;
        Nanos duration;
    };
    // Called on the recording schedule with the EEPROM contents and the wall time of the recording.
    using RecordingHook =
        std::function<void(std::span<std::uint8_t> eeprom, std::chrono::system_clock::time_point)>;

    BaseUnit();

    // The SCL pattern from clock time 0. A pattern that does not repeat keeps its last level.
    void SetPattern(std::vector<Phase> phases, bool repeat, Nanos now);
    // No bus activity at all: SCL stays high (the synchronisation never succeeds).
    void SetSilent(Nanos now) { SetPattern({}, false, now); }
    // How long the base unit keeps off the bus after the PC last pulled a line low.
    void SetQuietAfterPc(Nanos duration) { _quietAfterPc = duration; }
    // Fault: the base unit pulls SCL low in [start, end), whatever the PC does.
    void DriveSclLow(Nanos start, Nanos end, Nanos now);
    // Records every interval (first at now + interval); a recording due while the PC talks waits.
    void SetRecording(Nanos interval, RecordingHook hook, Nanos now);
    // The wall time that clock time 0 stands for.
    void SetEpoch(std::chrono::system_clock::time_point epoch) { _epoch = epoch; }

    bool SclLow() const { return _low; }
    // The earliest time at which something may happen (an edge or a recording).
    Nanos Next() const { return _next; }

    // The PC pulled a line low at now. Returns true when the base unit released SCL because of it.
    bool PcActivity(Nanos now) {
        _quietUntil = now + _quietAfterPc;
        if (_low && !InFault(now)) {
            _low = false;
            return true;
        }
        return false;
    }

    // A PC that died with its lines asserted holds the bus: the base unit stays off it (and
    // records nothing) until the lines are released, and keeps off for the usual time after.
    void PcHoldsBus(bool held, Nanos now) {
        _quietUntil = held ? Infinite : now + _quietAfterPc;
        if (held)
            _low = false;
        Recompute(now);
    }

    // Runs what is due at Next(). Returns true when the SCL drive changed.
    bool Step(std::span<std::uint8_t> eeprom);

    // SCL level the pattern alone asks for at t.
    bool PatternLow(Nanos t) const;

private:
    bool InFault(Nanos t) const { return t >= _faultStart && t < _faultEnd; }
    bool EffectiveLow(Nanos t) const { return InFault(t) || (t >= _quietUntil && PatternLow(t)); }
    Nanos PatternBoundaryAfter(Nanos t) const;
    void Recompute(Nanos from);
    void ScheduleChangeAt(Nanos now);

    std::vector<Phase> _phases;
    std::vector<Nanos> _ends; // cumulative phase ends
    bool _repeat = false;
    Nanos _period = 0;

    Nanos _quietAfterPc = 2000 * Ms;
    Nanos _quietUntil = 0;
    Nanos _faultStart = Infinite, _faultEnd = Infinite;

    Nanos _interval = 0;
    Nanos _nextRecording = Infinite;
    RecordingHook _hook;
    std::chrono::system_clock::time_point _epoch;

    bool _low = false;
    Nanos _next = Infinite;
};
