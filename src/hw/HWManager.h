#pragma once

#include "base/CriticalSection.h"
#include "base/Event.h"
#include "base/Mutex.h"
#include "hw/HWRequest.h"
#include "hw/StartResult.h"
#include "link/I2CDriver.h"

#include <deque>
#include <memory>
#include <string>
#include <thread>

// Runs all station traffic on one worker thread, one request at a time. The worker owns the
// driver: it opens the port when it starts and closes it when it shuts down.
class CHWManager {
public:
    using RequestPtr = std::shared_ptr<CHWRequest>;

    // The program chooses how ports are made from names (a simulator on the virtual clock, say).
    explicit CHWManager(CI2CDriver::PortFactory factory);
    explicit CHWManager(std::shared_ptr<SerialPort> port);
    virtual ~CHWManager();
    CHWManager(const CHWManager&) = delete;
    CHWManager& operator=(const CHWManager&) = delete;

    // Opens the port on the worker; the reason when it could not (the worker has ended then).
    StartResult Start(const std::string& portName);
    void Stop();
    bool Shutdown();
    bool WaitForShutdown();
    bool IsRunning() const { return m_thread.joinable(); }

    // Queues the request when the worker is idle and the list is empty.
    bool AddRequest(const RequestPtr& request);
    // The request in the list, left there (to abort the running request).
    RequestPtr CurrentRequest();
    // Removes and returns the finished request.
    RequestPtr TakeRequest();

    std::string PortName() const;
    Mutex& ThreadWorking() { return m_threadWorking; }
    std::deque<RequestPtr>& Requests() { return m_requests; }

private:
    void ThreadProc();
    void OnShutdown();
    void OnWorkAvailable();

    std::thread m_thread;
    Event m_shutdownEvent{true, true};
    Event m_cleanedUpEvent{true, true};
    Event m_workAvailableEvent{true, false};
    Mutex m_threadWorking;
    std::deque<RequestPtr> m_requests;
    CI2CDriver m_driver;
    std::string m_portName;
    mutable CriticalSection m_startLock;
    CriticalSection m_requestsLock;
    Event m_startedEvent{true, false};
    std::string m_startupFailure; // why the port did not open; written before m_startedEvent is set
};
