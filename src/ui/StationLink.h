#pragma once

#include "hw/HWRequest.h"
#include "hw/StartResult.h"

#include <memory>
#include <string>

// What the windows need of the hardware manager: start and stop it on a port, queue a request,
// look at the request in its list and take a finished one back. The main frame and the import
// dialog share one link, so both reach the same manager.
class StationLink {
public:
    using RequestPtr = std::shared_ptr<CHWRequest>;

    virtual ~StationLink() = default;
    // Opens the port and starts the worker; when the port does not open, the reason.
    virtual StartResult Start(const std::string& port) = 0;
    // Waits until the worker has finished its current request and closed the port.
    virtual void Stop() = 0;
    virtual bool IsRunning() const = 0;
    // False when the list holds a request already or the worker is busy.
    virtual bool AddRequest(const RequestPtr& request) = 0;
    // The request in the list, left there; raises when there is none.
    virtual RequestPtr CurrentRequest() = 0;
    // Removes and returns the finished request; raises when there is none.
    virtual RequestPtr TakeRequest() = 0;
};
