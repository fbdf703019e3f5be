#pragma once

#include "base/Event.h"
#include "hw/RequestObserver.h"

#include <atomic>
#include <string>

class CI2CDriver;

// A station request: run once on the hardware manager's worker thread with the driver, then
// taken back by the side that queued it, which its observer tells when it finished.
class CHWRequest {
public:
    explicit CHWRequest(RequestObserverRef observer);
    virtual ~CHWRequest();
    CHWRequest(const CHWRequest&) = delete;
    CHWRequest& operator=(const CHWRequest&) = delete;

    // Runs on the worker thread; records its outcome and returns normally.
    virtual void Execute(CI2CDriver& driver) = 0;
    virtual std::string Name() const = 0;

    // Synchronises with the station, retrying, and clears the bus; false after the last failed
    // attempt. Raises thread_aborted when the abort was asked for between attempts.
    bool Sync(CI2CDriver& driver);

    bool IsAbortRequested();
    [[noreturn]] void ThrowAborted();
    // Called from the user-interface thread.
    void Abort();

    bool Succeeded() const { return m_succeeded; }
    void SetSucceeded(bool succeeded) { m_succeeded = succeeded; }
    bool Aborted() const { return m_aborted; }
    std::string Message() const;
    void SetMessage(const std::string& message);
    RequestOutcome Outcome() const;
    // The observer while it exists, else null.
    std::shared_ptr<RequestObserver> Observer() const { return m_observer.lock(); }

    static constexpr int SyncRetries = 10;
    static constexpr std::uint32_t SyncRetryPauseMs = 500;

private:
    std::atomic<bool> m_succeeded{false};
    std::atomic<bool> m_aborted{false};
    std::string m_message;
    mutable std::mutex m_messageLock; // read by the user interface, written by the worker
    RequestObserverRef m_observer;
    Event m_abortEvent{true, true};
};
