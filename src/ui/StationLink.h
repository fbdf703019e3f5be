#pragma once

#include "hw/MessageTarget.h"

#include <string>

// A request the station link has finished with, as the main frame sees it.
struct FinishedRequest {
    bool isPing = false;
    bool succeeded = false;
    std::string name;
    std::string message;
};

// What the main frame needs of the hardware manager: start and stop it on a port, queue pings,
// take finished requests back, abort the request in its list.
class StationLink {
public:
    virtual ~StationLink() = default;
    // True when the port opened and the worker runs.
    virtual bool Start(const std::string& port) = 0;
    // Waits until the worker has finished its current request and closed the port.
    virtual void Stop() = 0;
    virtual bool IsRunning() const = 0;
    // Queues a ping whose completion is posted to target; false when a request is queued already.
    virtual bool QueuePing(const MessageTargetRef& target) = 0;
    // The request that finished; raises when there is none.
    virtual FinishedRequest TakeRequest() = 0;
    // Asks the queued or running request to abort; raises when there is none.
    virtual void AbortCurrent() = 0;
};

// A link that never starts: the program without a hardware manager.
class NoStationLink : public StationLink {
public:
    bool Start(const std::string&) override { return false; }
    void Stop() override {}
    bool IsRunning() const override { return false; }
    bool QueuePing(const MessageTargetRef&) override { return false; }
    FinishedRequest TakeRequest() override;
    void AbortCurrent() override;
};
