#include "ui/DialogFit.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

std::vector<QWidget*> Controls(const QWidget* dialog) {
    const QList<QWidget*> children = dialog->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    return {children.begin(), children.end()};
}

bool HoldsText(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return !label->text().isEmpty() && label->pixmap().isNull();
    return qobject_cast<const QAbstractButton*>(control) || qobject_cast<const QComboBox*>(control);
}

bool Wraps(const QWidget* control) {
    const auto* label = qobject_cast<const QLabel*>(control);
    return label && label->wordWrap();
}

// The size the control's text asks for; a wrapping label needs only the height at its width.
QSize Needed(const QWidget* control) {
    if (Wraps(control))
        return {0, control->heightForWidth(control->width())};
    return control->sizeHint();
}

void Widen(QWidget* dialog, double factor) {
    for (QWidget* control : Controls(dialog)) {
        const QRect g = control->geometry();
        control->setGeometry(int(std::lround(g.x() * factor)), g.y(), int(std::ceil(g.width() * factor)),
                             g.height());
    }
    dialog->setFixedSize(int(std::ceil(dialog->width() * factor)), dialog->height());
}

void Heighten(QWidget* dialog, QWidget* grown, int extra) {
    const QRect before = grown->geometry();
    for (QWidget* control : Controls(dialog)) {
        if (control == grown)
            continue;
        QRect g = control->geometry();
        if (g.top() >= before.bottom())
            g.translate(0, extra);
        else if (g.top() <= before.top() && g.bottom() >= before.bottom())
            g.setHeight(g.height() + extra); // a frame around it
        control->setGeometry(g);
    }
    grown->resize(before.width(), before.height() + extra);
    dialog->setFixedSize(dialog->width(), dialog->height() + extra);
}

} // namespace

void FitDialogTexts(QWidget* dialog) {
    double factor = 1.0;
    for (const QWidget* control : Controls(dialog))
        if (HoldsText(control) && !Wraps(control) && control->width() > 0)
            factor = std::max(factor, double(Needed(control).width()) / control->width());
    if (factor > 1.0)
        Widen(dialog, factor);

    std::vector<QWidget*> byTop = Controls(dialog);
    std::sort(byTop.begin(), byTop.end(), [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
    for (QWidget* control : byTop) {
        if (!HoldsText(control))
            continue;
        const int extra = Needed(control).height() - control->height();
        if (extra > 0)
            Heighten(dialog, control, extra);
    }
}

QStringList UnfitTexts(const QWidget* dialog) {
    QStringList unfit;
    for (const QWidget* control : Controls(dialog)) {
        if (!HoldsText(control))
            continue;
        const QSize needed = Needed(control);
        if (needed.width() > control->width() || needed.height() > control->height()) {
            QString text;
            if (const auto* label = qobject_cast<const QLabel*>(control))
                text = label->text();
            else if (const auto* button = qobject_cast<const QAbstractButton*>(control))
                text = button->text();
            else if (const auto* list = qobject_cast<const QComboBox*>(control))
                text = list->currentText();
            unfit.append(QStringLiteral("%1 (%2x%3 < %4x%5)")
                             .arg(text)
                             .arg(control->width())
                             .arg(control->height())
                             .arg(needed.width())
                             .arg(needed.height()));
        }
    }
    return unfit;
}
