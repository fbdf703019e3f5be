#pragma once

#include <mutex>

// A recursive lock for short sections, entered again by the thread that holds it.
class CriticalSection {
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { _mutex.lock(); }
    void Leave() { _mutex.unlock(); }

private:
    std::recursive_mutex _mutex;
};

// Enters on construction, leaves on destruction.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CriticalSection& section) : _section(section) { _section.Enter(); }
    ~CriticalSectionLock() { _section.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& _section;
};

// Leaves on construction, enters again on destruction: lets a holder wait for another thread.
class CriticalSectionUnlock {
public:
    explicit CriticalSectionUnlock(CriticalSection& section) : _section(section) { _section.Leave(); }
    ~CriticalSectionUnlock() { _section.Enter(); }
    CriticalSectionUnlock(const CriticalSectionUnlock&) = delete;
    CriticalSectionUnlock& operator=(const CriticalSectionUnlock&) = delete;

private:
    CriticalSection& _section;
};
