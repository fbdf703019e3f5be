#include "simulator/BaseUnit.h"

#include <algorithm>
#include <array>

BaseUnit::BaseUnit() : m_epoch(std::chrono::system_clock::now()) {
    // A second's cycle: 150 ms low, then quiet high.
    SetPattern({{true, 150 * Ms}, {false, 850 * Ms}}, true, 0);
}

void BaseUnit::SetPattern(std::vector<Phase> phases, bool repeat, Nanos now) {
    m_phases.clear();
    m_ends.clear();
    Nanos end = 0;
    for (const Phase& phase : phases) {
        if (phase.duration <= 0)
            continue;
        // Neighbouring phases of one level are one phase: boundaries are always edges.
        if (!m_phases.empty() && m_phases.back().sclLow == phase.sclLow) {
            m_phases.back().duration += phase.duration;
            m_ends.back() += phase.duration;
        } else {
            m_phases.push_back(phase);
            m_ends.push_back(end + phase.duration);
        }
        end += phase.duration;
    }
    m_repeat = repeat && !m_phases.empty();
    m_period = end;
    Recompute(now);
    ScheduleChangeAt(now);
}

void BaseUnit::DriveSclLow(Nanos start, Nanos end, Nanos now) {
    m_faultStart = start;
    m_faultEnd = end;
    Recompute(now);
    ScheduleChangeAt(now);
}

void BaseUnit::SetRecording(Nanos interval, RecordingHook hook, Nanos now) {
    m_interval = interval;
    m_hook = std::move(hook);
    m_nextRecording = (interval > 0 && m_hook) ? now + interval : Infinite;
    Recompute(now);
}

void BaseUnit::ScheduleChangeAt(Nanos now) {
    // The port applies the new level at its next look, so that the bus sees it as an edge.
    if (EffectiveLow(now) != m_low)
        m_next = now;
}

bool BaseUnit::PatternLow(Nanos t) const {
    if (m_phases.empty())
        return false;
    if (m_repeat)
        t %= m_period;
    else if (t >= m_period)
        return m_phases.back().sclLow;
    const auto it = std::upper_bound(m_ends.begin(), m_ends.end(), t);
    return m_phases[static_cast<std::size_t>(it - m_ends.begin())].sclLow;
}

BaseUnit::Nanos BaseUnit::PatternBoundaryAfter(Nanos t) const {
    if (m_phases.size() < 2)
        return Infinite; // one level only: no edges
    if (!m_repeat) {
        const auto it = std::upper_bound(m_ends.begin(), m_ends.end(), t);
        if (it == m_ends.end() || it + 1 == m_ends.end())
            return Infinite; // the last phase lasts for ever
        return *it;
    }
    const Nanos base = t - t % m_period;
    const auto it = std::upper_bound(m_ends.begin(), m_ends.end(), t % m_period);
    // The end of the last phase is an edge only when the first phase has the other level.
    if (it + 1 == m_ends.end() && m_phases.front().sclLow == m_phases.back().sclLow)
        return base + m_period + m_ends.front();
    return base + *it;
}

BaseUnit::Nanos BaseUnit::NextByteStart(Nanos from) const {
    if (m_pending.empty() || m_byteStart != Infinite)
        return Infinite;
    return std::max({from, m_quietUntil, m_eepromFreeAt});
}

void BaseUnit::Recompute(Nanos from) {
    Nanos next = Infinite;
    if (from < m_quietUntil)
        next = m_quietUntil; // pattern edges inside the quiet time change nothing
    else
        next = PatternBoundaryAfter(from);
    if (m_faultStart > from)
        next = std::min(next, m_faultStart);
    if (m_faultEnd > from)
        next = std::min(next, m_faultEnd);
    if (m_nextRecording != Infinite && m_pending.empty())
        next = std::min(next, std::max(m_nextRecording, std::max(m_quietUntil, from)));
    if (m_byteEnd != Infinite)
        next = std::min(next, std::max(m_byteEnd, from));
    next = std::min(next, NextByteStart(from));
    m_next = next;
}

void BaseUnit::Record(Eeprom& eeprom, Nanos at) {
    const auto when = m_epoch + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                    std::chrono::nanoseconds(at));
    if (m_bytePace == 0) {
        m_hook(eeprom.bytes(), when);
        return;
    }
    // The recording as it will stand, then its bytes over the bus one by one.
    std::array<std::uint8_t, Eeprom::Size> after = eeprom.bytes();
    m_hook(after, when);
    for (std::size_t i = 0; i < after.size(); ++i)
        if (after[i] != eeprom.bytes()[i])
            m_pending.emplace_back(static_cast<std::uint16_t>(i), after[i]);
}

bool BaseUnit::Step(Eeprom& eeprom) {
    const Nanos at = m_next;
    if (at == Infinite)
        return false;
    bool busChanged = false;
    if (m_byteEnd <= at) {
        // Its STOP: the byte is written, and whatever command the PC had begun is over.
        eeprom.WriteFromBaseUnit(m_pending.front().first, m_pending.front().second, at);
        m_pending.pop_front();
        m_eepromFreeAt = at + Eeprom::DefaultWriteCycle;
        m_byteStart = m_byteEnd = Infinite;
        busChanged = true;
    }
    if (m_nextRecording <= at && at >= m_quietUntil && m_pending.empty()) {
        Record(eeprom, at);
        m_nextRecording += m_interval;
        if (m_nextRecording <= at)
            m_nextRecording = at + m_interval; // a long pause does not cause a burst
    }
    if (NextByteStart(at) <= at) {
        m_byteStart = at;
        m_byteEnd = at + m_bytePace;
    }
    const bool low = EffectiveLow(at);
    const bool changed = low != m_low || busChanged;
    m_low = low;
    Recompute(at);
    if (m_next <= at)
        m_next = at + 1;
    return changed;
}
