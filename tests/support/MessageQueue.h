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
            std::lock_guard lock(m_lock);
            m_posted.push_back({message, wParam, lParam});
            hook = m_onPost;
        }
        m_changed.notify_all();
        if (hook)
            hook({message, wParam, lParam});
    }

    // Waits (bounded, for a broken test not to hang) until a message of that kind was posted.
    bool WaitFor(Message message, std::chrono::seconds limit = std::chrono::seconds(30)) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, limit, [&] { return CountLocked(message) > 0; });
    }

    int Count(Message message) {
        std::lock_guard lock(m_lock);
        return CountLocked(message);
    }

    std::deque<Posted> All() {
        std::lock_guard lock(m_lock);
        return m_posted;
    }

    // Runs on the posting thread after each post.
    void OnPost(std::function<void(const Posted&)> hook) {
        std::lock_guard lock(m_lock);
        m_onPost = std::move(hook);
    }

private:
    int CountLocked(Message message) const {
        int n = 0;
        for (const Posted& p : m_posted)
            n += p.message == message;
        return n;
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Posted> m_posted;
    std::function<void(const Posted&)> m_onPost;
};
