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
    bool IsRunning() const { return _thread.joinable(); }

    // Queues the request when the worker is idle and the list is empty.
    bool AddRequest(const RequestPtr& request);
    // The request in the list, left there (to abort the running request).
    RequestPtr CurrentRequest();
    // Removes and returns the finished request.
    RequestPtr TakeRequest();

    std::string PortName() const;
    Mutex& ThreadWorking() { return _threadWorking; }
    std::deque<RequestPtr>& Requests() { return _requests; }

private:
    void ThreadProc();
    void OnShutdown();
    void OnWorkAvailable();

    std::thread _thread;
    Event _shutdownEvent{true, true};
    Event _cleanedUpEvent{true, true};
    Event _workAvailableEvent{true, false};
    Mutex _threadWorking;
    std::deque<RequestPtr> _requests;
    CI2CDriver _driver;
    std::string _portName;
    mutable CriticalSection _startLock;
    CriticalSection _requestsLock;
    Event _startedEvent{true, false};
    std::string _startupFailure; // why the port did not open; written before _startedEvent is set
};
