#include "ui/DialogTexts.h"

#include "ui/DialogFit.h"

#include "settings/TextParts.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

#include <cstdio>

namespace {
const char* const ControlIdProperty = "nivaroControlId";
const char* const TipProperty = "nivaroTip";

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}
} // namespace

void SetControlId(QWidget* control, int id) {
    control->setProperty(ControlIdProperty, id);
}

int ControlId(const QWidget* control) {
    const QVariant id = control->property(ControlIdProperty);
    return id.isValid() ? id.toInt() : 0;
}

void FillComboBox(QComboBox* combo, const QString& itemList) {
    const int selection = combo->currentIndex();
    const std::vector<std::string> items = SplitItemList(itemList.toStdString());
    for (int i = 0; i < int(items.size()); ++i) {
        if (i >= combo->count())
            combo->insertItem(i, FromUtf8(items[std::size_t(i)]));
        else
            combo->setItemText(i, FromUtf8(items[std::size_t(i)])); // the item data stays at its position
    }
    combo->setCurrentIndex(selection < combo->count() ? selection : -1);
}

CTooltipHandlerImpl::CTooltipHandlerImpl(QWidget* dialog, int dialogKey)
    : m_dialog(dialog), m_dialogKey(dialogKey) {}

CTooltipHandlerImpl::CTooltipHandlerImpl(QWidget* dialog, int dialogKey,
                                         std::vector<std::filesystem::path> searchDirectories)
    : m_dialog(dialog), m_dialogKey(dialogKey), m_texts(std::move(searchDirectories)) {}

void CTooltipHandlerImpl::SetLanguage(std::uint16_t languageId, bool activateTips) {
    ApplyTexts(languageId);
    ActivateTips(activateTips);
}

void CTooltipHandlerImpl::ChangeLanguage(std::uint16_t languageId) {
    ApplyTexts(languageId);
}

void CTooltipHandlerImpl::ApplyTexts(std::uint16_t languageId) {
    m_texts.SetLanguage(languageId);
    if (!m_dialog)
        return;
    std::string caption;
    if (m_texts.Lookup(m_dialogKey, caption))
        m_dialog->setWindowTitle(FromUtf8(caption));
    else
        Diagnose(m_dialog, m_dialogKey);
    for (QObject* child : m_dialog->children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (!control)
            continue;
        const int key = ControlId(control);
        if (key != 0 && !ApplyControlText(control, key))
            Diagnose(control, key);
    }
    FitDialogTexts(m_dialog);
}

bool CTooltipHandlerImpl::ApplyControlText(QWidget* control, int key) {
    std::string raw;
    if (!m_texts.Lookup(key, raw) || raw.empty())
        return false;
    const QString whole = FromUtf8(raw);
    if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(whole);
        return true;
    }
    const TextAndTip parts = SplitTextAndTip(raw);
    const QString text = FromUtf8(parts.text);
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        group->setTitle(text);
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        FillComboBox(combo, text);
    else {
        AddTooltip(control, whole);
        return true;
    }
    if (parts.tip)
        AddTooltip(control, FromUtf8(*parts.tip));
    return true;
}

void CTooltipHandlerImpl::AddTooltip(QWidget* control, const QString& text) {
    control->setProperty(TipProperty, text);
    control->setToolTip(m_tipsActive ? text : QString());
}

QString CTooltipHandlerImpl::Tooltip(const QWidget* control) {
    return control->property(TipProperty).toString();
}

void CTooltipHandlerImpl::ActivateTips(bool on) {
    m_tipsActive = on;
    if (!m_dialog)
        return;
    for (QWidget* control : m_dialog->findChildren<QWidget*>()) {
        const QVariant tip = control->property(TipProperty);
        if (tip.isValid())
            control->setToolTip(on ? tip.toString() : QString());
    }
}

void CTooltipHandlerImpl::Diagnose(const QWidget* window, int key) const {
    QString current = window->windowTitle();
    if (auto* label = qobject_cast<const QLabel*>(window))
        current = label->text();
    else if (auto* button = qobject_cast<const QAbstractButton*>(window))
        current = button->text();
    else if (auto* group = qobject_cast<const QGroupBox*>(window))
        current = group->title();
    const std::string entry = MissingTextEntry(m_texts.GetLanguage(), window->metaObject()->className(), key,
                                               current.toStdString());
    std::fputs(entry.c_str(), stderr);
}
