#include "base/Mutex.h"

#include <chrono>

bool Mutex::acquire(std::uint32_t milliseconds) {
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(m_lock);
    auto available = [&] { return m_depth == 0 || m_owner == self; };
    if (milliseconds == WaitForever)
        m_released.wait(lock, available);
    else if (!m_released.wait_for(lock, std::chrono::milliseconds(milliseconds), available))
        return false;
    m_owner = self;
    ++m_depth;
    return true;
}

void Mutex::release() {
    {
        std::lock_guard lock(m_lock);
        if (m_depth == 0 || m_owner != std::this_thread::get_id())
            return;
        if (--m_depth > 0)
            return;
        m_owner = {};
    }
    m_released.notify_all();
}
