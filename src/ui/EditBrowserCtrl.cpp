#include "ui/EditBrowserCtrl.h"

#include <QAction>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace {

// Three dots in the text colour, a tenth of the button across, a quarter of it apart.
QIcon DotsIcon(const QColor& colour) {
    const int size = 16;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    const qreal dot = 2.2;
    for (int i = -1; i <= 1; ++i)
        painter.drawEllipse(QPointF(size / 2.0 + i * size / 4.0, size / 2.0), dot / 2 + 0.4, dot / 2 + 0.4);
    return QIcon(pixmap);
}

} // namespace

CWtlEditBrowserCtrl::CWtlEditBrowserCtrl(QWidget* parent) : QLineEdit(parent) {
    m_browse = new QAction(DotsIcon(palette().color(QPalette::ButtonText)), QStringLiteral("…"), this);
    m_browse->setObjectName(QStringLiteral("browse"));
    addAction(m_browse, QLineEdit::TrailingPosition);
    connect(m_browse, &QAction::triggered, this, [this] {
        setFocus(Qt::MouseFocusReason);
        emit BrowseClicked();
    });
}
