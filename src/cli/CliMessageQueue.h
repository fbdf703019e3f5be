#pragma once

#include "hw/MessageTarget.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

// The command line's message target: the worker posts, the main thread takes the messages in order.
class CliMessageQueue : public MessageTarget {
public:
    struct Posted {
        Message message;
        std::intptr_t wParam, lParam;
    };
    // Runs on the posting (worker) thread before the message is queued; a test seam.
    using PostHook = std::function<void(const Posted&)>;

    void SetPostHook(PostHook hook) { _hook = std::move(hook); }

    void Post(Message message, std::intptr_t wParam, std::intptr_t lParam) override {
        const Posted posted{message, wParam, lParam};
        if (_hook)
            _hook(posted);
        {
            std::lock_guard lock(_lock);
            _queue.push_back(posted);
        }
        _posted.notify_one();
    }

    // The next message, or nothing when none came within the time.
    std::optional<Posted> Take(std::chrono::milliseconds timeout) {
        std::unique_lock lock(_lock);
        if (!_posted.wait_for(lock, timeout, [this] { return !_queue.empty(); }))
            return std::nullopt;
        Posted posted = _queue.front();
        _queue.pop_front();
        return posted;
    }

private:
    std::mutex _lock;
    std::condition_variable _posted;
    std::deque<Posted> _queue;
    PostHook _hook;
};
