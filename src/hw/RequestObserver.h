#pragma once

#include "hw/RequestOutcome.h"

#include <cstdint>
#include <memory>

// What a station request reports to the side that queued it. Every call comes from the worker
// thread and must not block or call into a window: the receiver carries it to its own thread.
class RequestObserver {
public:
    virtual ~RequestObserver() = default;
    // An import is about to read its next block: the bytes read so far, of those plus the bytes
    // of the current read (a routine import reads on only as far as it needs, so the total grows).
    virtual void ReadProgress(std::uint32_t bytesDone, std::uint32_t bytesTotal);
    // A ping read a transmitter count other than the one known.
    virtual void TransmittersChanged(int count);
    // The request ran; the receiver takes it back from the hardware manager.
    virtual void Finished(const RequestOutcome& outcome);
};

// Requests hold their observer weakly: one that is gone when a report is due is not an error.
using RequestObserverRef = std::weak_ptr<RequestObserver>;
