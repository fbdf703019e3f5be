#include "settings/TextParts.h"
#include "settings/LanguageMenu.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(TextPartsTest, SplitsTextAndTip) {
    struct Case {
        std::string input;
        std::string text;
        std::optional<std::string> tip;
    };
    for (const Case& c : {
             Case{"OK", "OK", std::nullopt},
             Case{"OK\nSaves the options.", "OK", "Saves the options."},
             Case{"OK\\nSaves the options.", "OK", "Saves the options."},
             Case{"A\nB\nC", "A", "B\nC"},       // only the first break splits
             Case{"A\\nB\nC", "A\\nB", "C"},     // a real line break is looked for first
             Case{"\nTip only", "", "Tip only"}, //
             Case{"Ends with\n", "Ends with", ""},
         }) {
        const TextAndTip parts = SplitTextAndTip(c.input);
        EXPECT_EQ(parts.text, c.text) << c.input;
        EXPECT_EQ(parts.tip, c.tip) << c.input;
    }
}

TEST(TextPartsTest, ItemListDropsEmptyItems) {
    using Items = std::vector<std::string>;
    EXPECT_EQ(SplitItemList("English;German;French"), (Items{"English", "German", "French"}));
    EXPECT_EQ(SplitItemList("one;;two;three"), (Items{"one", "two", "three"}));
    EXPECT_EQ(SplitItemList(";a;"), (Items{"a"}));
    EXPECT_EQ(SplitItemList(""), Items{});
    EXPECT_EQ(SplitItemList("Celsius (°C);Fahrenheit (°F)"), (Items{"Celsius (°C)", "Fahrenheit (°F)"}));
}

TEST(TextPartsTest, MissingTextEntryIsReadyToPaste) {
    EXPECT_EQ(MissingTextEntry(1031, "QPushButton", 1000, "OK"),
              "Language: 1031, Control: QPushButton\n"
              "<data key=\"1000\" type=\"string\" mimetype=\"text/plain\"><value>OK</value></data>\n");
    EXPECT_EQ(MissingTextEntry(1033, std::string(300, 'c'), -1, std::string(300, 't')),
              "Language: 1033, Control: " + std::string(254, 'c') +
                  "\n<data key=\"-1\" type=\"string\" mimetype=\"text/plain\"><value>" +
                  std::string(259, 't') + "</value></data>\n");
}

TEST(LanguageMenuTest, EveryLanguageHasTheSameCommandsInTheSameOrder) {
    const auto ids = [](const LanguageMenu& menu) {
        std::vector<int> result;
        for (const auto& popup : menu)
            for (const auto& command : popup.commands)
                result.push_back(command.id);
        return result;
    };
    const std::vector<int> expected = {
        Command::FileOpen,       Command::FilePrint,     Command::FileExit,   0, 0,
        Command::DataImport,     Command::DataExport,    Command::DataDelete, 0, Command::DataChart,
        Command::DataStatistics, Command::ExtrasOptions, Command::About};
    std::vector<int> sortedExpected = expected;
    std::sort(sortedExpected.begin(), sortedExpected.end());
    for (std::uint16_t language : MenuLanguages()) {
        std::vector<int> got = ids(LoadLanguageMenu(MainMenu, language));
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, sortedExpected) << language;
    }
    const LanguageMenu& english = LoadLanguageMenu(MainMenu, 1033);
    ASSERT_EQ(english.size(), 4u);
    EXPECT_EQ(english[0].title, "&File");
    EXPECT_EQ(english[0].commands[0].text, "&Open...\tCtrl+O");
    EXPECT_TRUE(english[0].commands[1].IsSeparator());
    EXPECT_EQ(LoadLanguageMenu(MainMenu, 1031)[0].commands[0].text, "&Öffnen...\tStrg+O");
    EXPECT_EQ(LoadLanguageMenu(MainMenu, 1036)[3].commands[0].text, "&A propos de Nivaro...");
}

// In every language the commands with a shortcut show it, and those that open a dialog say so.
TEST(LanguageMenuTest, ShortcutsAndDialogsAreShownInEveryLanguage) {
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
                EXPECT_EQ(command.text.find('\t') != std::string::npos, has(withShortcut, command.id))
                    << language << " " << command.text;
                EXPECT_EQ(label.ends_with("..."), has(withDialog, command.id))
                    << language << " " << command.text;
            }
}

TEST(LanguageMenuTest, UnknownLanguageRaisesWithItsNumber) {
    try {
        LoadLanguageMenu(MainMenu, 1040);
        FAIL() << "no error raised";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("Menu for language 1040 not found"), std::string::npos)
            << e.what();
    }
    EXPECT_THROW(LoadLanguageMenu(129, 1033), std::runtime_error);
}

} // namespace
