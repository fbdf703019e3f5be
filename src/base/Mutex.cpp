#include "base/Mutex.h"

#include <chrono>

bool Mutex::acquire(std::uint32_t milliseconds) {
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(_lock);
    auto available = [&] { return _depth == 0 || _owner == self; };
    if (milliseconds == INFINITE)
        _released.wait(lock, available);
    else if (!_released.wait_for(lock, std::chrono::milliseconds(milliseconds), available))
        return false;
    _owner = self;
    ++_depth;
    return true;
}

void Mutex::release() {
    {
        std::lock_guard lock(_lock);
        if (_depth == 0 || _owner != std::this_thread::get_id())
            return;
        if (--_depth > 0)
            return;
        _owner = {};
    }
    _released.notify_all();
}
