#include "ui/DialogUnits.h"

#include <QFontMetrics>
#include <QWidget>

DialogUnits::DialogUnits(const QWidget* dialog) {
    const QFontMetrics metrics(dialog->font());
    const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_baseX = (metrics.horizontalAdvance(sample) / 26 + 1) / 2;
    m_baseY = metrics.height();
}

int DialogUnits::X(int units) const {
    return (units * m_baseX + 2) / 4;
}

int DialogUnits::Y(int units) const {
    return (units * m_baseY + 4) / 8;
}

void DialogUnits::Place(QWidget* control, int x, int y, int width, int height) const {
    control->setGeometry(X(x), Y(y), X(width), Y(height));
}

void DialogUnits::Size(QWidget* dialog, int width, int height) const {
    dialog->setFixedSize(X(width), Y(height));
}

void SetUpDialogWindow(QWidget* dialog) {
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

void CentreOnParent(QWidget* dialog) {
    const QWidget* parent = dialog->parentWidget();
    if (!parent)
        return;
    const QRect frame = parent->window()->frameGeometry();
    QRect geometry = dialog->frameGeometry();
    geometry.moveCenter(frame.center());
    dialog->move(geometry.topLeft());
}
