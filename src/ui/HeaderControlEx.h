#pragma once

#include <QHeaderView>

// The table's header: three text lines high, every blank of a title a line break, each word
// centred on its own line.
class CHeaderControlEx : public QHeaderView {
    Q_OBJECT
public:
    explicit CHeaderControlEx(QWidget* parent = nullptr);
    QSize sizeHint() const override;

    static QString Wrapped(const QString& title);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};
