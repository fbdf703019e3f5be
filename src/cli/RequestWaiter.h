#pragma once

#include "hw/RequestObserver.h"

#include <chrono>
#include <functional>
#include <future>

// The command line's observer of the one request it runs: progress is handed on as it comes, on
// the worker thread; the main thread waits for the outcome.
class RequestWaiter : public RequestObserver {
public:
    using ProgressHandler = std::function<void(std::uint32_t bytesDone, std::uint32_t bytesTotal)>;

    explicit RequestWaiter(ProgressHandler onProgress = {}) : m_onProgress(std::move(onProgress)) {}

    void ReadProgress(std::uint32_t bytesDone, std::uint32_t bytesTotal) override {
        if (m_onProgress)
            m_onProgress(bytesDone, bytesTotal);
    }
    void Finished(const RequestOutcome& outcome) override { m_outcome.set_value(outcome); }

    // Whether the request finished, waiting at most that long for it.
    bool WaitFinished(std::chrono::milliseconds timeout) const {
        return m_finished.wait_for(timeout) == std::future_status::ready;
    }
    // Once finished.
    const RequestOutcome& Outcome() const { return m_finished.get(); }

private:
    ProgressHandler m_onProgress;
    std::promise<RequestOutcome> m_outcome;
    std::shared_future<RequestOutcome> m_finished = m_outcome.get_future().share();
};
