#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

// Carries calls from any thread to a receiver's own (the user-interface) thread, queued behind
// its pending events; posting never blocks on the receiver. The receiver detaches before it is
// destroyed, and calls posted after that are dropped: a late report from a worker finds nothing.
class QueuedCalls {
public:
    static std::shared_ptr<QueuedCalls> Create(QObject* receiver);

    explicit QueuedCalls(QObject* receiver) : m_receiver(receiver) {}
    void Post(std::function<void()> call);
    void Detach();

private:
    // Held while posting, so the receiver cannot be destroyed between the check and the post.
    std::mutex m_lock;
    QObject* m_receiver;
};
