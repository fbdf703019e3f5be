#include "ui/UserMessage.h"

#include "log/Logger.h"

#include <QApplication>
#include <QMessageBox>

namespace {

UserMessageHook& Hook() {
    static UserMessageHook hook;
    return hook;
}

} // namespace

void ShowUserMessage(QWidget* owner, MessageKind kind, const QString& text) {
    CLogger::Instance().Log(kind == MessageKind::Information ? 30 : 10, "%s", text.toStdString().c_str());
    if (Hook()) {
        Hook()(owner, kind, text);
        return;
    }
    const QString title = QApplication::applicationDisplayName();
    switch (kind) {
    case MessageKind::Information:
        QMessageBox::information(owner, title, text);
        break;
    case MessageKind::Warning:
        QMessageBox::warning(owner, title, text);
        break;
    case MessageKind::Error:
        QMessageBox::critical(owner, title, text);
        break;
    }
}

void SetUserMessageHook(UserMessageHook hook) {
    Hook() = std::move(hook);
}
