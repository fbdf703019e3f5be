#include "ui/DialogTexts.h"

#include "TempDir.h"
#include "UiTests.h"

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// An options-like dialog against the shipped language files.
class DialogTextsTest : public QObject {
    Q_OBJECT
private slots:
    void appliesTextsByControlKind() {
        QDialog dialog;
        auto* label = new QLabel(QStringLiteral("Language"), &dialog);
        auto* group = new QGroupBox(&dialog);
        auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
        auto* languages = new QComboBox(&dialog);
        auto* file = new QLineEdit(&dialog);
        auto* unnumbered = new QLabel(QStringLiteral("stays"), &dialog);
        SetControlId(label, 1194);
        SetControlId(group, 1173);
        SetControlId(ok, 1000);
        SetControlId(languages, 1171);
        SetControlId(file, 1263);

        CTooltipHandlerImpl texts(&dialog, 206, {NIVARO_DATA_DIR});
        texts.SetLanguage(1033, false);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Options"));
        QCOMPARE(label->text(), QStringLiteral("Language"));
        QCOMPARE(group->title(), QStringLiteral("Application settings"));
        QCOMPARE(ok->text(), QStringLiteral("OK")); // the caption alone
        QCOMPARE(CTooltipHandlerImpl::Tooltip(ok),
                 QStringLiteral("Saves the options and closes the dialog."));
        QVERIFY(ok->toolTip().isEmpty()); // registered, not shown
        QCOMPARE(languages->count(), 3);
        QCOMPARE(languages->itemText(2), QStringLiteral("French"));
        QVERIFY(!CTooltipHandlerImpl::Tooltip(file).isEmpty()); // an edit gets the whole text as its tip
        QCOMPARE(unnumbered->text(), QStringLiteral("stays"));

        // The options dialog attaches the identifiers; another language keeps them by position.
        const int ids[] = {1033, 1031, 1036};
        for (int i = 0; i < 3; ++i)
            languages->setItemData(i, ids[i]);
        languages->setCurrentIndex(1);
        texts.ChangeLanguage(1036);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Options"));
        QCOMPARE(languages->itemText(1), QStringLiteral("Allemand"));
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QCOMPARE(label->text(), QStringLiteral("Langue"));
        QCOMPARE(languages->currentIndex(), 1);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(languages->itemData(i).toInt(), ids[i]);
    }

    void activeTipsAreShown() {
        QDialog dialog;
        auto* cancel = new QPushButton(&dialog);
        SetControlId(cancel, 1001);
        CTooltipHandlerImpl texts(&dialog, 206, {NIVARO_DATA_DIR});
        texts.SetLanguage(1031, true);
        QCOMPARE(cancel->text(), QStringLiteral("Abbrechen"));
        QCOMPARE(cancel->toolTip(), QStringLiteral("Schließt den Dialog, ohne etwas zu ändern."));
    }

    void itemListsKeepExtraItemsAndDropEmptyOnes() {
        QComboBox combo;
        combo.addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")});
        combo.setItemData(3, 42);
        combo.setCurrentIndex(3);
        FillComboBox(&combo, QStringLiteral("one;;two;three"));
        QCOMPARE(combo.count(), 4);
        QCOMPARE(combo.itemText(0), QStringLiteral("one"));
        QCOMPARE(combo.itemText(2), QStringLiteral("three"));
        QCOMPARE(combo.itemText(3), QStringLiteral("d"));
        QCOMPARE(combo.itemData(3).toInt(), 42);
        QCOMPARE(combo.currentIndex(), 3);
    }

    void aMissingFileLeavesTemplateTexts() {
        TempDir empty;
        QDialog dialog;
        dialog.setWindowTitle(QStringLiteral("Template"));
        auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
        SetControlId(ok, 1000);
        CTooltipHandlerImpl texts(&dialog, 206, {empty.path()});
        texts.SetLanguage(1033, false); // writes ready-to-paste entries to stderr
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Template"));
        QCOMPARE(ok->text(), QStringLiteral("OK"));
    }
};

static RegisterUiTest<DialogTextsTest> registerDialogTextsTest;

#include "DialogTextsTest.moc"
