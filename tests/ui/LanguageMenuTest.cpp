// The main window's menus in every language.
#include "ui/LanguageMenu.h"

#include "UiTests.h"

#include <QtTest>

#include <algorithm>
#include <stdexcept>

class LanguageMenuTest : public QObject {
    Q_OBJECT
private slots:
    void everyLanguageHasTheSameCommands() {
        const auto ids = [](const LanguageMenu& menu) {
            std::vector<int> result;
            for (const auto& popup : menu)
                for (const auto& command : popup.commands)
                    result.push_back(command.id);
            std::sort(result.begin(), result.end());
            return result;
        };
        std::vector<int> expected = {
            Command::FileOpen,       Command::FilePrint,     Command::FileExit,   0, 0,
            Command::DataImport,     Command::DataExport,    Command::DataDelete, 0, Command::DataChart,
            Command::DataStatistics, Command::ExtrasOptions, Command::About};
        std::sort(expected.begin(), expected.end());
        for (std::uint16_t language : MenuLanguages())
            QVERIFY2(ids(LoadLanguageMenu(MainMenu, language)) == expected,
                     qPrintable(QString::number(language)));
        const LanguageMenu& english = LoadLanguageMenu(MainMenu, 1033);
        QCOMPARE(english.size(), std::size_t(4));
        QCOMPARE(english[0].title, std::string("&File"));
        QCOMPARE(english[0].commands[0].text, std::string("&Open...\tCtrl+O"));
        QVERIFY(english[0].commands[1].IsSeparator());
        QCOMPARE(LoadLanguageMenu(MainMenu, 1031)[0].commands[0].text, std::string("&Öffnen...\tStrg+O"));
        QCOMPARE(LoadLanguageMenu(MainMenu, 1036)[3].commands[0].text, std::string("&A propos de Nivaro..."));
    }

    // In every language the commands with a shortcut show it, and those that open a dialog say so.
    void shortcutsAndDialogsAreShownInEveryLanguage() {
        const std::vector<int> withShortcut = {Command::FileOpen, Command::FilePrint, Command::DataChart,
                                               Command::DataStatistics};
        const std::vector<int> withDialog = {Command::FileOpen,   Command::FilePrint,  Command::DataImport,
                                             Command::DataExport, Command::DataDelete, Command::ExtrasOptions,
                                             Command::About};
        const auto has = [](const std::vector<int>& ids, int id) {
            return std::find(ids.begin(), ids.end(), id) != ids.end();
        };
        for (std::uint16_t language : MenuLanguages())
            for (const auto& menu : LoadLanguageMenu(MainMenu, language))
                for (const auto& command : menu.commands) {
                    if (command.IsSeparator())
                        continue;
                    const std::string label = command.text.substr(0, command.text.find('\t'));
                    const QByteArray where = QByteArray::number(language) + " " + command.text.c_str();
                    QVERIFY2((command.text.find('\t') != std::string::npos) == has(withShortcut, command.id),
                             where.constData());
                    QVERIFY2(label.ends_with("...") == has(withDialog, command.id), where.constData());
                }
    }

    void unknownLanguageRaisesWithItsNumber() {
        try {
            LoadLanguageMenu(MainMenu, 1040);
            QFAIL("no error raised");
        } catch (const std::runtime_error& e) {
            QVERIFY2(std::string(e.what()).find("Menu for language 1040 not found") != std::string::npos,
                     e.what());
        }
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, LoadLanguageMenu(129, 1033));
    }
};

static RegisterUiTest<LanguageMenuTest> registerLanguageMenuTest;

#include "LanguageMenuTest.moc"
