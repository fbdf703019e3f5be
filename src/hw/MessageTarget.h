#pragma once

#include <cstdint>
#include <memory>

// The notifications that worker-side code posts to the user-interface side. The receiver does
// the work on its own thread; posting never blocks and never calls into a window.
enum class Message {
    WorkFinished,            // a request ran; the receiver takes it back
    NrOfTransmittersChanged, // the ping read another transmitter count
    ReadRingBufferStep,      // progress of a ring buffer read (wParam step, lParam steps)
    RecordingHistoryChanged, // the recording history changed
    UpdateView,              // options changed (lParam: which groups)
    Initialize,              // a dialog starts its work
};

class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual void Post(Message message, std::intptr_t wParam = 0, std::intptr_t lParam = 0) = 0;
};

// Requests hold their target weakly: a target that is gone when a message is posted is not an error.
using MessageTargetRef = std::weak_ptr<MessageTarget>;

inline void PostTo(const MessageTargetRef& target, Message message, std::intptr_t wParam = 0,
                   std::intptr_t lParam = 0) {
    if (auto receiver = target.lock())
        receiver->Post(message, wParam, lParam);
}
