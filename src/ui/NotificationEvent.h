#pragma once

#include "hw/MessageTarget.h"

#include <QEvent>

// A core notification carried to the user-interface thread as a posted Qt event.
class NotificationEvent : public QEvent {
public:
    NotificationEvent(Message message, std::intptr_t wParam, std::intptr_t lParam)
        : QEvent(EventType()), m_message(message), m_wParam(wParam), m_lParam(lParam) {}

    // Registered once per process.
    static QEvent::Type EventType();

    Message message() const { return m_message; }
    std::intptr_t wParam() const { return m_wParam; }
    std::intptr_t lParam() const { return m_lParam; }

private:
    Message m_message;
    std::intptr_t m_wParam;
    std::intptr_t m_lParam;
};

// Sends a notification at once to the object and, children of children included, all its
// descendants (the options and history changes reach every window of the main window this way).
void SendToDescendants(QObject* root, Message message, std::intptr_t wParam = 0, std::intptr_t lParam = 0);
