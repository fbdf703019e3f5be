#pragma once

#include <QString>

#include <functional>

class QWidget;

// A message the user must see: why a command did nothing or failed. Shown in a message box owned
// by owner; tests answer it themselves.
enum class MessageKind { Information, Warning, Error };
void ShowUserMessage(QWidget* owner, MessageKind kind, const QString& text);

// Tests see the messages instead of a box; an empty function brings the boxes back.
using UserMessageHook = std::function<void(QWidget* owner, MessageKind kind, const QString& text)>;
void SetUserMessageHook(UserMessageHook hook);
