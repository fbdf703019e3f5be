#include "simulator/BaseUnit.h"

#include <algorithm>
#include <array>

BaseUnit::BaseUnit() : _epoch(std::chrono::system_clock::now()) {
    // A second's cycle: 150 ms low, then quiet high.
    SetPattern({{true, 150 * Ms}, {false, 850 * Ms}}, true, 0);
}

void BaseUnit::SetPattern(std::vector<Phase> phases, bool repeat, Nanos now) {
    _phases.clear();
    _ends.clear();
    Nanos end = 0;
    for (const Phase& phase : phases) {
        if (phase.duration <= 0)
            continue;
        // Neighbouring phases of one level are one phase: boundaries are always edges.
        if (!_phases.empty() && _phases.back().sclLow == phase.sclLow) {
            _phases.back().duration += phase.duration;
            _ends.back() += phase.duration;
        } else {
            _phases.push_back(phase);
            _ends.push_back(end + phase.duration);
        }
        end += phase.duration;
    }
    _repeat = repeat && !_phases.empty();
    _period = end;
    Recompute(now);
    ScheduleChangeAt(now);
}

void BaseUnit::DriveSclLow(Nanos start, Nanos end, Nanos now) {
    _faultStart = start;
    _faultEnd = end;
    Recompute(now);
    ScheduleChangeAt(now);
}

void BaseUnit::SetRecording(Nanos interval, RecordingHook hook, Nanos now) {
    _interval = interval;
    _hook = std::move(hook);
    _nextRecording = (interval > 0 && _hook) ? now + interval : Infinite;
    Recompute(now);
}

void BaseUnit::ScheduleChangeAt(Nanos now) {
    // The port applies the new level at its next look, so that the bus sees it as an edge.
    if (EffectiveLow(now) != _low)
        _next = now;
}

bool BaseUnit::PatternLow(Nanos t) const {
    if (_phases.empty())
        return false;
    if (_repeat)
        t %= _period;
    else if (t >= _period)
        return _phases.back().sclLow;
    const auto it = std::upper_bound(_ends.begin(), _ends.end(), t);
    return _phases[static_cast<std::size_t>(it - _ends.begin())].sclLow;
}

BaseUnit::Nanos BaseUnit::PatternBoundaryAfter(Nanos t) const {
    if (_phases.size() < 2)
        return Infinite; // one level only: no edges
    if (!_repeat) {
        const auto it = std::upper_bound(_ends.begin(), _ends.end(), t);
        if (it == _ends.end() || it + 1 == _ends.end())
            return Infinite; // the last phase lasts for ever
        return *it;
    }
    const Nanos base = t - t % _period;
    const auto it = std::upper_bound(_ends.begin(), _ends.end(), t % _period);
    // The end of the last phase is an edge only when the first phase has the other level.
    if (it + 1 == _ends.end() && _phases.front().sclLow == _phases.back().sclLow)
        return base + _period + _ends.front();
    return base + *it;
}

BaseUnit::Nanos BaseUnit::NextByteStart(Nanos from) const {
    if (_pending.empty() || _byteStart != Infinite)
        return Infinite;
    return std::max({from, _quietUntil, _eepromFreeAt});
}

void BaseUnit::Recompute(Nanos from) {
    Nanos next = Infinite;
    if (from < _quietUntil)
        next = _quietUntil; // pattern edges inside the quiet time change nothing
    else
        next = PatternBoundaryAfter(from);
    if (_faultStart > from)
        next = std::min(next, _faultStart);
    if (_faultEnd > from)
        next = std::min(next, _faultEnd);
    if (_nextRecording != Infinite && _pending.empty())
        next = std::min(next, std::max(_nextRecording, std::max(_quietUntil, from)));
    if (_byteEnd != Infinite)
        next = std::min(next, std::max(_byteEnd, from));
    next = std::min(next, NextByteStart(from));
    _next = next;
}

void BaseUnit::Record(Eeprom& eeprom, Nanos at) {
    const auto when = _epoch + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                   std::chrono::nanoseconds(at));
    if (_bytePace == 0) {
        _hook(eeprom.bytes(), when);
        return;
    }
    // The recording as it will stand, then its bytes over the bus one by one.
    std::array<std::uint8_t, Eeprom::Size> after = eeprom.bytes();
    _hook(after, when);
    for (std::size_t i = 0; i < after.size(); ++i)
        if (after[i] != eeprom.bytes()[i])
            _pending.emplace_back(static_cast<std::uint16_t>(i), after[i]);
}

bool BaseUnit::Step(Eeprom& eeprom) {
    const Nanos at = _next;
    if (at == Infinite)
        return false;
    bool busChanged = false;
    if (_byteEnd <= at) {
        // Its STOP: the byte is written, and whatever command the PC had begun is over.
        eeprom.WriteFromBaseUnit(_pending.front().first, _pending.front().second, at);
        _pending.pop_front();
        _eepromFreeAt = at + Eeprom::DefaultWriteCycle;
        _byteStart = _byteEnd = Infinite;
        busChanged = true;
    }
    if (_nextRecording <= at && at >= _quietUntil && _pending.empty()) {
        Record(eeprom, at);
        _nextRecording += _interval;
        if (_nextRecording <= at)
            _nextRecording = at + _interval; // a long pause does not cause a burst
    }
    if (NextByteStart(at) <= at) {
        _byteStart = at;
        _byteEnd = at + _bytePace;
    }
    const bool low = EffectiveLow(at);
    const bool changed = low != _low || busChanged;
    _low = low;
    Recompute(at);
    if (_next <= at)
        _next = at + 1;
    return changed;
}
