#include "ui/StatusBar.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>

namespace {
constexpr int IconSize = 16;
}

CMPSBarWithAnimation::CMPSBarWithAnimation(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(true);
}

QString CMPSBarWithAnimation::WidthText(int pane) {
    switch (pane) {
    case LinkPane:
        return QString(5, QLatin1Char(' '));
    case DisplayedPane:
    case RecordingPane:
        return QString(52, QLatin1Char(' '));
    default:
        return QString();
    }
}

bool CMPSBarWithAnimation::SetPanes(const std::vector<int>& panes, bool setTexts) {
    if (!m_panes.empty())
        return false; // the pane list is set once
    const QFontMetrics metrics(font());
    for (int number : panes) {
        auto* box = new QWidget(this);
        auto* layout = new QHBoxLayout(box);
        layout->setContentsMargins(2, 0, 2, 0);
        layout->setSpacing(3);
        auto* icon = new QLabel(box);
        icon->setFixedSize(IconSize, IconSize);
        icon->hide();
        auto* text = new QLabel(box);
        text->setTextFormat(Qt::PlainText);
        layout->addWidget(icon);
        layout->addWidget(text, 1);
        if (number == 0) {
            text->setText(QStringLiteral(" ")); // the idle text
            addWidget(box, 1);
        } else {
            const QString widthText = WidthText(number);
            const int width = std::max(metrics.horizontalAdvance(widthText) + 6, IconSize + 4);
            box->setFixedWidth(width);
            text->setMinimumWidth(0);
            text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); // clipped, never grows
            if (setTexts)
                text->setText(widthText);
            addPermanentWidget(box);
        }
        m_panes.push_back({number, box, icon, text, QIcon(), QString()});
    }
    return true;
}

CMPSBarWithAnimation::Pane* CMPSBarWithAnimation::Find(int pane) {
    for (Pane& p : m_panes)
        if (p.number == pane)
            return &p;
    return nullptr;
}

const CMPSBarWithAnimation::Pane* CMPSBarWithAnimation::Find(int pane) const {
    return const_cast<CMPSBarWithAnimation*>(this)->Find(pane);
}

bool CMPSBarWithAnimation::SetPaneText(int pane, const QString& text) {
    Pane* p = Find(pane);
    if (!p)
        return false;
    p->text->setText(text);
    p->box->setToolTip(pane == 0 ? QString() : text.trimmed());
    return true;
}

bool CMPSBarWithAnimation::GetPaneText(int pane, QString& text) const {
    const Pane* p = Find(pane);
    if (!p)
        return false;
    text = p->text->text();
    return true;
}

bool CMPSBarWithAnimation::SetPaneIcon(int pane, const QIcon& icon) {
    return SetPaneIcon(pane, icon, QString());
}

bool CMPSBarWithAnimation::SetPaneIcon(int pane, const QIcon& icon, const QString& name) {
    Pane* p = Find(pane);
    if (!p)
        return false;
    p->iconValue = icon;
    p->iconName = name;
    p->icon->setPixmap(icon.pixmap(IconSize, IconSize));
    p->icon->setVisible(!icon.isNull());
    return true;
}

bool CMPSBarWithAnimation::SetPaneToolTip(int pane, const QString& text) {
    Pane* p = Find(pane);
    if (!p)
        return false;
    p->box->setToolTip(text);
    p->icon->setToolTip(text);
    p->text->setToolTip(text);
    return true;
}

QString CMPSBarWithAnimation::PaneToolTip(int pane) const {
    const Pane* p = Find(pane);
    return p ? p->box->toolTip() : QString();
}

bool CMPSBarWithAnimation::GetPaneIcon(int pane, QIcon& icon) const {
    const Pane* p = Find(pane);
    if (!p)
        return false;
    icon = p->iconValue;
    return true;
}

QString CMPSBarWithAnimation::PaneIconName(int pane) const {
    const Pane* p = Find(pane);
    return p ? p->iconName : QString();
}

int CMPSBarWithAnimation::PaneWidth(int pane) const {
    const Pane* p = Find(pane);
    return p ? p->box->width() : -1;
}
