#pragma once

#include "hw/MessageTarget.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <mutex>

// The Qt side of MessageTarget: a post from any thread becomes a NotificationEvent queued to the
// receiver, whose handler then runs on the receiver's (the user-interface) thread. The receiver
// detaches in its destructor; posts after that are dropped.
class QtMessageTarget : public MessageTarget {
public:
    static std::shared_ptr<QtMessageTarget> Create(QObject* receiver);

    explicit QtMessageTarget(QObject* receiver);
    void Post(Message message, std::intptr_t wParam = 0, std::intptr_t lParam = 0) override;
    void Detach();

private:
    // The lock keeps the receiver from being destroyed between the check and the post.
    std::mutex m_lock;
    QPointer<QObject> m_receiver;
};
