#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <random>
#include <span>
#include <vector>

#include "simulator/Eeprom.h"

// The station's base unit as far as the bus sees it: it drives SCL in a repeating pattern (a low
// phase, then a quiet high phase), keeps off the bus while the PC talks and for a while after, and
// can record a new measurement into the EEPROM on a schedule. It is not always polite: the time it
// keeps off after the PC's last pull varies from one conversation to the next, and a recording
// goes over the bus byte by byte at its own pace, each byte a transfer of its own during which it
// holds SCL and which it finishes even when the PC pulls a line meanwhile; its STOP ends whatever
// command the EEPROM was in. Between two bytes the PC may come, so a read can meet a slot
// half-written. All times are nanoseconds of the simulator clock.
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
    // How long the base unit keeps off the bus after the PC last pulled a line low: for each
    // conversation a time between shortest and longest, as the seed chooses.
    void SetQuietAfterPc(Nanos duration) { SetQuietAfterPc(duration, duration); }
    void SetQuietAfterPc(Nanos shortest, Nanos longest) {
        m_quietShortest = shortest;
        m_quietLongest = longest;
        m_quietAfterPc = longest;
    }
    // How long one byte of a recording keeps the bus (0: a recording lands in memory at once).
    void SetOwnBytePace(Nanos byteNanos) { m_bytePace = byteNanos; }
    void SetSeed(std::uint32_t seed) { m_random.seed(seed); }
    // Bytes of recordings not on the bus yet.
    std::size_t PendingBytes() const { return m_pending.size(); }
    // Fault: the base unit pulls SCL low in [start, end), whatever the PC does.
    void DriveSclLow(Nanos start, Nanos end, Nanos now);
    // Records every interval (first at now + interval); a recording due while the PC talks waits.
    void SetRecording(Nanos interval, RecordingHook hook, Nanos now);
    // The wall time that clock time 0 stands for.
    void SetEpoch(std::chrono::system_clock::time_point epoch) { m_epoch = epoch; }

    bool SclLow() const { return m_low; }
    // The earliest time at which something may happen (an edge or a recording).
    Nanos Next() const { return m_next; }

    // The PC pulled a line low at now. Returns true when the base unit released SCL because of it.
    bool PcActivity(Nanos now) {
        if (now >= m_quietUntil) // a new conversation
            m_quietAfterPc =
                m_quietShortest + static_cast<Nanos>(m_random() % static_cast<std::uint64_t>(
                                                                      m_quietLongest - m_quietShortest + 1));
        m_quietUntil = now + m_quietAfterPc;
        if (InOwnByte(now))
            return false; // it finishes its byte first
        if (m_low && !InFault(now)) {
            m_low = false;
            return true;
        }
        return false;
    }

    // A PC that died with its lines asserted holds the bus: the base unit stays off it (and
    // records nothing) until the lines are released, and keeps off for the usual time after.
    void PcHoldsBus(bool held, Nanos now) {
        m_quietUntil = held ? Infinite : now + m_quietAfterPc;
        if (held)
            m_low = false;
        Recompute(now);
    }

    // Runs what is due at Next(). Returns true when the bus may have changed (the SCL drive, or
    // the EEPROM's state after a byte of the base unit's own).
    bool Step(Eeprom& eeprom);

    // SCL level the pattern alone asks for at t.
    bool PatternLow(Nanos t) const;

private:
    bool InFault(Nanos t) const { return t >= m_faultStart && t < m_faultEnd; }
    bool InOwnByte(Nanos t) const { return t >= m_byteStart && t < m_byteEnd; }
    bool EffectiveLow(Nanos t) const {
        return InFault(t) || InOwnByte(t) || (t >= m_quietUntil && PatternLow(t));
    }
    void Record(Eeprom& eeprom, Nanos at);
    Nanos NextByteStart(Nanos from) const;
    Nanos PatternBoundaryAfter(Nanos t) const;
    void Recompute(Nanos from);
    void ScheduleChangeAt(Nanos now);

    std::vector<Phase> m_phases;
    std::vector<Nanos> m_ends; // cumulative phase ends
    bool m_repeat = false;
    Nanos m_period = 0;

    Nanos m_quietAfterPc = 2000 * Ms;
    Nanos m_quietShortest = 2000 * Ms, m_quietLongest = 2000 * Ms;
    std::mt19937 m_random{1};
    Nanos m_bytePace = 0;
    std::deque<std::pair<std::uint16_t, std::uint8_t>> m_pending; // address, value
    Nanos m_byteStart = Infinite, m_byteEnd = Infinite;           // the byte on the bus
    Nanos m_eepromFreeAt = 0;                                     // its write cycle over
    Nanos m_quietUntil = 0;
    Nanos m_faultStart = Infinite, m_faultEnd = Infinite;

    Nanos m_interval = 0;
    Nanos m_nextRecording = Infinite;
    RecordingHook m_hook;
    std::chrono::system_clock::time_point m_epoch;

    bool m_low = false;
    Nanos m_next = Infinite;
};
