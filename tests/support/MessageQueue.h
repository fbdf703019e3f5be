#pragma once

#include "hw/MessageTarget.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

// A message target that queues what it is sent, for tests on the worker thread's side.
class MessageQueue : public MessageTarget {
public:
    struct Posted {
        Message message;
        std::intptr_t wParam, lParam;
    };

    void Post(Message message, std::intptr_t wParam, std::intptr_t lParam) override {
        std::function<void(const Posted&)> hook;
        {
            std::lock_guard lock(_lock);
            _posted.push_back({message, wParam, lParam});
            hook = _onPost;
        }
        _changed.notify_all();
        if (hook)
            hook({message, wParam, lParam});
    }

    // Waits (bounded, for a broken test not to hang) until a message of that kind was posted.
    bool WaitFor(Message message, std::chrono::seconds limit = std::chrono::seconds(30)) {
        std::unique_lock lock(_lock);
        return _changed.wait_for(lock, limit, [&] { return CountLocked(message) > 0; });
    }

    int Count(Message message) {
        std::lock_guard lock(_lock);
        return CountLocked(message);
    }

    std::deque<Posted> All() {
        std::lock_guard lock(_lock);
        return _posted;
    }

    // Runs on the posting thread after each post.
    void OnPost(std::function<void(const Posted&)> hook) {
        std::lock_guard lock(_lock);
        _onPost = std::move(hook);
    }

private:
    int CountLocked(Message message) const {
        int n = 0;
        for (const Posted& p : _posted)
            n += p.message == message;
        return n;
    }

    std::mutex _lock;
    std::condition_variable _changed;
    std::deque<Posted> _posted;
    std::function<void(const Posted&)> _onPost;
};
