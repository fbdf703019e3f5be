#include "ui/SubEdit.h"

#include "ui/TypingRules.h"

#include <QApplication>
#include <QKeyEvent>

CSubEdit::CSubEdit(QWidget* parent) : QLineEdit(parent) {
    setObjectName(QStringLiteral("GridEdit"));
    setFrame(false);
    setTextMargins(5, 0, 5, 0);
    setMaxLength(255);
}

void CSubEdit::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit Committed(text());
        return;
    case Qt::Key_Escape:
        emit Cancelled();
        return;
    default:
        break;
    }
    const QString typed = event->text();
    if (typed.size() == 1 && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        const QChar character = typed.at(0);
        const int caret = hasSelectedText() ? selectionStart() : cursorPosition();
        const char ascii = character.unicode() < 128 ? char(character.unicode()) : '\x7f';
        if (!AcceptTypedCharacter(text().toStdString(), caret, ascii, m_allowMinus, m_decimals)) {
            QApplication::beep();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void CSubEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    emit Cancelled();
}
