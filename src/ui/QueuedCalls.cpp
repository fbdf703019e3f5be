#include "ui/QueuedCalls.h"

std::shared_ptr<QueuedCalls> QueuedCalls::Create(QObject* receiver) {
    return std::make_shared<QueuedCalls>(receiver);
}

void QueuedCalls::Post(std::function<void()> call) {
    std::lock_guard lock(m_lock);
    if (m_receiver)
        QMetaObject::invokeMethod(m_receiver, std::move(call), Qt::QueuedConnection);
}

void QueuedCalls::Detach() {
    std::lock_guard lock(m_lock);
    m_receiver = nullptr;
}
