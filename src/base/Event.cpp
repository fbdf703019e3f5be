#include "base/Event.h"

#include "base/Check.h"
#include "base/CriticalSection.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

// All events share one lock and one condition variable: it makes waiting for any of several
// events simple, and the program has only a handful of events.
std::mutex& EventsLock() {
    static std::mutex lock;
    return lock;
}

std::condition_variable& EventsChanged() {
    static std::condition_variable changed;
    return changed;
}

} // namespace

Event::Event(bool create, bool manualReset) : m_created(create), m_manualReset(manualReset) {}

Event::~Event() = default;

void Event::Set() {
    Check(m_created) << "Set on an event that was not created";
    {
        std::lock_guard lock(EventsLock());
        m_signalled = true;
    }
    EventsChanged().notify_all();
}

void Event::Reset() {
    Check(m_created) << "Reset on an event that was not created";
    std::lock_guard lock(EventsLock());
    m_signalled = false;
}

bool Event::TakeSignalLocked() {
    if (!m_signalled)
        return false;
    if (!m_manualReset)
        m_signalled = false;
    return true;
}

bool Event::Wait(std::uint32_t milliseconds) {
    return WaitAny({this}, milliseconds) == 0;
}

void Event::Wait(CriticalSection& section) {
    CriticalSectionUnlock unlock(section);
    Wait(WaitForever);
}

int Event::WaitAny(std::initializer_list<Event*> events, std::uint32_t milliseconds) {
    for (Event* event : events)
        Check(event && event->m_created) << "Wait on an event that was not created";

    std::unique_lock lock(EventsLock());
    auto signalledIndex = [&]() {
        int index = 0;
        for (Event* event : events) {
            if (event->TakeSignalLocked())
                return index;
            ++index;
        }
        return -1;
    };
    int index = signalledIndex();
    if (index >= 0 || milliseconds == 0)
        return index;
    if (milliseconds == WaitForever) {
        EventsChanged().wait(lock, [&] { return (index = signalledIndex()) >= 0; });
        return index;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    EventsChanged().wait_until(lock, deadline, [&] { return (index = signalledIndex()) >= 0; });
    return index;
}
