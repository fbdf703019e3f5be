#include "settings/TextParts.h"

#include <gtest/gtest.h>

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

} // namespace
