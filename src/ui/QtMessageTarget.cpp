#include "ui/QtMessageTarget.h"

#include "ui/NotificationEvent.h"

#include <QCoreApplication>

std::shared_ptr<QtMessageTarget> QtMessageTarget::Create(QObject* receiver) {
    return std::make_shared<QtMessageTarget>(receiver);
}

QtMessageTarget::QtMessageTarget(QObject* receiver) : m_receiver(receiver) {}

void QtMessageTarget::Post(Message message, std::intptr_t wParam, std::intptr_t lParam) {
    std::lock_guard lock(m_lock);
    if (m_receiver)
        QCoreApplication::postEvent(m_receiver.data(), new NotificationEvent(message, wParam, lParam));
}

void QtMessageTarget::Detach() {
    std::lock_guard lock(m_lock);
    m_receiver.clear();
}
