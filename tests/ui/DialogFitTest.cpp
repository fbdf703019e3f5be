// Every dialog holds its texts in English, German and French; the fitting itself on a small
// dialog whose texts outgrow their controls.
#include "ui/DialogFit.h"
#include "settings/Options.h"
#include "ui/AboutDlg.h"
#include "ui/DataDeleteDlg.h"
#include "ui/DataImportDlg.h"
#include "ui/OptionsDlg.h"
#include "ui/QtTranslations.h"

#include "Fakes.h"
#include "UiTests.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class DialogFitTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        Options().SetLanguageID(1033);
        UseQtTranslations(1033);
    }

    void everyDialogHoldsItsTexts_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << 1033;
        QTest::newRow("German") << 1031;
        QTest::newRow("French") << 1036;
    }
    void everyDialogHoldsItsTexts() {
        QFETCH(int, language);
        Options().SetLanguageID(std::uint16_t(language));
        FakeHistory history;
        FakeLink link;
        COptionsDlg options(history);
        CDataImportDlg import(link, history.recording);
        CDataDeleteDlg remove;
        CAboutDlg about;
        for (const QDialog* dialog :
             std::initializer_list<const QDialog*>{&options, &import, &remove, &about}) {
            QVERIFY2(UnfitTexts(dialog).isEmpty(), qPrintable(dialog->windowTitle() + QStringLiteral(": ") +
                                                              UnfitTexts(dialog).join(" | ")));
            // Opened over the main window at its first size, a dialog stays inside it.
            QVERIFY2(dialog->width() <= 900 && dialog->height() <= 560,
                     qPrintable(QStringLiteral("%1: %2 x %3")
                                    .arg(dialog->windowTitle())
                                    .arg(dialog->width())
                                    .arg(dialog->height())));
        }
    }

    void narrowColumnsWidenAndATallQuestionPushesTheButtonsDown() {
        QWidget dialog;
        dialog.setFixedSize(200, 100);
        auto* left = new QLabel(QStringLiteral("A label far longer than its column"), &dialog);
        left->setGeometry(10, 10, 40, 20);
        auto* right = new QLabel(QStringLiteral("Next"), &dialog);
        right->setGeometry(60, 10, 40, 20);
        auto* question =
            new QLabel(QStringLiteral("A question that needs several lines at this width, surely"), &dialog);
        question->setWordWrap(true);
        question->setGeometry(10, 40, 80, 15);
        auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
        ok->setGeometry(10, 70, 80, 25);

        FitDialogTexts(&dialog);
        QVERIFY2(UnfitTexts(&dialog).isEmpty(), qPrintable(UnfitTexts(&dialog).join(" | ")));
        QVERIFY(left->geometry().right() < right->geometry().left()); // still side by side
        QVERIFY(question->geometry().bottom() < ok->geometry().top());
        QVERIFY(dialog.rect().contains(ok->geometry()));
        QVERIFY(dialog.rect().contains(right->geometry()));
    }

    // Qt's own dialogs and buttons speak the program's language.
    void qtsOwnTextsFollowTheLanguage() {
        QVERIFY(UseQtTranslations(1031));
        QCOMPARE(QDialogButtonBox(QDialogButtonBox::Cancel)
                     .button(QDialogButtonBox::Cancel)
                     ->text()
                     .remove(QLatin1Char('&')),
                 QStringLiteral("Abbrechen"));
        QVERIFY(UseQtTranslations(1036));
        QCOMPARE(QDialogButtonBox(QDialogButtonBox::Cancel)
                     .button(QDialogButtonBox::Cancel)
                     ->text()
                     .remove(QLatin1Char('&')),
                 QStringLiteral("Annuler"));
        QVERIFY(UseQtTranslations(1033));
        QCOMPARE(QDialogButtonBox(QDialogButtonBox::Cancel)
                     .button(QDialogButtonBox::Cancel)
                     ->text()
                     .remove(QLatin1Char('&')),
                 QStringLiteral("Cancel"));
    }
};

static RegisterUiTest<DialogFitTest> registerDialogFitTest;

#include "DialogFitTest.moc"
