#pragma once

#include "hw/RequestObserver.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

// A request observer that records what it is told, for tests on the worker thread's side.
class RequestRecorder : public RequestObserver {
public:
    struct Step {
        std::uint32_t bytesDone, bytesTotal;
    };

    void ReadProgress(std::uint32_t bytesDone, std::uint32_t bytesTotal) override {
        std::function<void(const Step&)> hook;
        {
            std::lock_guard lock(m_lock);
            m_steps.push_back({bytesDone, bytesTotal});
            hook = m_onStep;
        }
        if (hook)
            hook({bytesDone, bytesTotal});
    }
    void TransmittersChanged(int count) override {
        std::lock_guard lock(m_lock);
        m_counts.push_back(count);
    }
    void Finished(const RequestOutcome& outcome) override {
        {
            std::lock_guard lock(m_lock);
            m_outcomes.push_back(outcome);
        }
        m_finished.notify_all();
    }

    // Waits (bounded, for a broken test not to hang) until a request finished.
    bool WaitForFinished(std::chrono::seconds limit = std::chrono::seconds(30)) {
        std::unique_lock lock(m_lock);
        return m_finished.wait_for(lock, limit, [&] { return !m_outcomes.empty(); });
    }

    std::vector<Step> Steps() {
        std::lock_guard lock(m_lock);
        return m_steps;
    }
    std::vector<int> TransmitterCounts() {
        std::lock_guard lock(m_lock);
        return m_counts;
    }
    std::vector<RequestOutcome> Outcomes() {
        std::lock_guard lock(m_lock);
        return m_outcomes;
    }

    // Runs on the reporting thread after each progress report.
    void OnStep(std::function<void(const Step&)> hook) {
        std::lock_guard lock(m_lock);
        m_onStep = std::move(hook);
    }

private:
    std::mutex m_lock;
    std::condition_variable m_finished;
    std::vector<Step> m_steps;
    std::vector<int> m_counts;
    std::vector<RequestOutcome> m_outcomes;
    std::function<void(const Step&)> m_onStep;
};
