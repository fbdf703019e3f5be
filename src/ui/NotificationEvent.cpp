#include "ui/NotificationEvent.h"

#include <QCoreApplication>
#include <QPointer>

QEvent::Type NotificationEvent::EventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void SendToDescendants(QObject* root, Message message, std::intptr_t wParam, std::intptr_t lParam) {
    // A handler may delete windows; guard every one before it is sent to.
    QList<QPointer<QObject>> targets;
    for (QObject* child : root->findChildren<QObject*>())
        targets.append(child);
    for (const QPointer<QObject>& target : targets) {
        if (!target)
            continue;
        NotificationEvent event(message, wParam, lParam);
        QCoreApplication::sendEvent(target, &event);
    }
}
