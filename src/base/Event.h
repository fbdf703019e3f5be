#pragma once

#include <cstdint>
#include <initializer_list>

class CriticalSection;

// Wait time without limit.
inline constexpr std::uint32_t WaitForever = 0xFFFFFFFFu;

// A manual- or auto-reset event. Waits block on a condition variable (no polling).
class Event {
public:
    // create false makes an empty event that holds nothing; using it raises.
    explicit Event(bool create = true, bool manualReset = false);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // True when the event was signalled within the time; 0 polls, WaitForever waits without limit.
    bool Wait(std::uint32_t milliseconds);
    // Waits without limit while the critical section is left, entering it again afterwards.
    void Wait(CriticalSection& section);

    bool IsCreated() const { return m_created; }

    // Waits until one of the events is signalled; returns its index, or -1 on time-out.
    // An auto-reset event that is reported is reset.
    static int WaitAny(std::initializer_list<Event*> events, std::uint32_t milliseconds);

private:
    bool TakeSignalLocked();

    bool m_created;
    bool m_manualReset;
    bool m_signalled = false;
};
