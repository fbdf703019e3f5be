#pragma once

#include <mutex>

// A recursive lock for short sections, entered again by the thread that holds it.
class CriticalSection {
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { m_mutex.lock(); }
    void Leave() { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

// Enters on construction, leaves on destruction.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CriticalSection& section) : m_section(section) { m_section.Enter(); }
    ~CriticalSectionLock() { m_section.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& m_section;
};

// Leaves on construction, enters again on destruction: lets a holder wait for another thread.
class CriticalSectionUnlock {
public:
    explicit CriticalSectionUnlock(CriticalSection& section) : m_section(section) { m_section.Leave(); }
    ~CriticalSectionUnlock() { m_section.Enter(); }
    CriticalSectionUnlock(const CriticalSectionUnlock&) = delete;
    CriticalSectionUnlock& operator=(const CriticalSectionUnlock&) = delete;

private:
    CriticalSection& m_section;
};
