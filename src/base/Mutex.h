#pragma once

#include "base/Event.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// An owned, recursive mutex with a timed acquire. A release by a thread that does not own it
// is ignored.
class Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    // True when acquired within the time; 0 polls, WaitForever waits without limit.
    bool acquire(std::uint32_t milliseconds);
    void release();

private:
    std::mutex m_lock;
    std::condition_variable m_released;
    std::thread::id m_owner;
    unsigned m_depth = 0;
};

// Acquires without limit on construction (or takes over an already acquired mutex when
// acquire is false) and releases on destruction.
class MutexLock {
public:
    explicit MutexLock(Mutex& mutex, bool acquire = true) : m_mutex(mutex) {
        if (acquire)
            m_mutex.acquire(WaitForever);
    }
    ~MutexLock() { m_mutex.release(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& m_mutex;
};
