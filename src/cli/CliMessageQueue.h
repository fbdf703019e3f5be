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

    void SetPostHook(PostHook hook) { m_hook = std::move(hook); }

    void Post(Message message, std::intptr_t wParam, std::intptr_t lParam) override {
        const Posted posted{message, wParam, lParam};
        if (m_hook)
            m_hook(posted);
        {
            std::lock_guard lock(m_lock);
            m_queue.push_back(posted);
        }
        m_posted.notify_one();
    }

    // The next message, or nothing when none came within the time.
    std::optional<Posted> Take(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_lock);
        if (!m_posted.wait_for(lock, timeout, [this] { return !m_queue.empty(); }))
            return std::nullopt;
        Posted posted = m_queue.front();
        m_queue.pop_front();
        return posted;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_posted;
    std::deque<Posted> m_queue;
    PostHook m_hook;
};
