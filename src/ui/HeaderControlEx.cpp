#include "ui/HeaderControlEx.h"

#include <QPainter>
#include <QStyleOptionHeader>

CHeaderControlEx::CHeaderControlEx(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setDefaultAlignment(Qt::AlignCenter);
    setSectionsClickable(false);
    setHighlightSections(false);
}

QString CHeaderControlEx::Wrapped(const QString& title) {
    QString wrapped = title;
    wrapped.replace(QLatin1Char(' '), QLatin1Char('\n'));
    return wrapped;
}

QSize CHeaderControlEx::sizeHint() const {
    QSize size = QHeaderView::sizeHint();
    size.setHeight(3 * fontMetrics().boundingRect(QStringLiteral("test")).height() + 3 + 6);
    return size;
}

void CHeaderControlEx::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!rect.isValid())
        return;
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.rect = rect;
    option.section = logicalIndex;
    option.text.clear();
    option.position = QStyleOptionHeader::Middle;
    painter->save();
    style()->drawControl(QStyle::CE_HeaderSection, &option, painter, this);
    const QString title = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->setFont(font());
    painter->drawText(rect.adjusted(2, 1, -2, -1), Qt::AlignCenter, Wrapped(title));
    painter->restore();
}
