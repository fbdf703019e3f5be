#pragma once

#include "settings/LangXml.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>

class QComboBox;

// Control numbers tie a dialog's widgets to their language-text keys.
void SetControlId(QWidget* control, int id);
int ControlId(const QWidget* control); // 0 when the widget has none

// Fills a drop-down list from a ";" item list: items keep their data by position, items beyond
// the new ones stay, the selection is kept by position.
void FillComboBox(QComboBox* combo, const QString& itemList);

// Applies a language's texts to a dialog and keeps the dialog's tool tips: caption from the
// dialog's key, then every direct child with a control number by its kind (labels: text; buttons
// and group boxes: text and tool tip; drop-down lists: item list and tool tip; anything else: tool
// tip). Widgets without a text get a ready-to-paste entry on stderr.
class CTooltipHandlerImpl {
public:
    CTooltipHandlerImpl(QWidget* dialog, int dialogKey);
    CTooltipHandlerImpl(QWidget* dialog, int dialogKey, std::vector<std::filesystem::path> searchDirectories);

    // At dialog start: apply all texts, then switch the tool tips on or off.
    void SetLanguage(std::uint16_t languageId, bool activateTips);
    // While the dialog is open (another language picked): apply all texts; activation untouched.
    void ChangeLanguage(std::uint16_t languageId);
    void ApplyTexts(std::uint16_t languageId);
    // Registers (or replaces) a control's tip; it shows only while the tips are active.
    void AddTooltip(QWidget* control, const QString& text);
    static QString Tooltip(const QWidget* control);

    const LoadMultiLangXml& Texts() const { return m_texts; }

private:
    bool ApplyControlText(QWidget* control, int key);
    void ActivateTips(bool on);
    void Diagnose(const QWidget* window, int key) const;

    QPointer<QWidget> m_dialog;
    int m_dialogKey;
    LoadMultiLangXml m_texts;
    bool m_tipsActive = false;
};
