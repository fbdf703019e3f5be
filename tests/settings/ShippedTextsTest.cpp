// The language files that come with the program hold every text the program asks for.
#include "settings/LangXml.h"
#include "settings/TextParts.h"

#include <gtest/gtest.h>

namespace {

class ShippedTextsTest : public testing::TestWithParam<std::uint16_t> {
protected:
    void SetUp() override {
        texts.SetLanguage(GetParam());
        ASSERT_FALSE(texts.LoadedFile().empty()) << LoadMultiLangXml::FileName(GetParam());
    }
    std::size_t Items(int key) const { return SplitItemList(SplitTextAndTip(texts.Text(key)).text).size(); }

    LoadMultiLangXml texts{{NIVARO_DATA_DIR}};
};

TEST_P(ShippedTextsTest, EveryKeyHasText) {
    const int keys[] = {100,    -1,     1009,   1010,   206,    1173,   1194,   1171,   1167,   1168,
                        1169,   1170,   1163,   1156,   10214,  1061,   1265,   1264,   1263,   1000,
                        1001,   207,    1004,   1005,   1003,   210,    1008,   1006,   1007,   100000,
                        100001, 100002, 100003, 100004, 100005, 100006, 100007, 100008, 100009, 100010,
                        100011, 100100, 100101, 100102, 100103, 100104, 100105, 100106, 100107, 100108,
                        100109, 100110, 100111, 100112, 100113};
    for (int key : keys)
        EXPECT_FALSE(texts.Text(key).empty()) << "key " << key;
}

TEST_P(ShippedTextsTest, ListsHaveTheEntriesTheOptionsNeed) {
    EXPECT_EQ(Items(1171), 3u); // languages 1033, 1031, 1036
    EXPECT_EQ(Items(1168), 6u); // date patterns
    EXPECT_EQ(Items(1170), 2u); // time patterns
    EXPECT_EQ(Items(1156), 2u); // Celsius, Fahrenheit
    const auto ports = SplitItemList(SplitTextAndTip(texts.Text(1265)).text);
    // The devices come from the system's list; the texts name only the simulator.
    EXPECT_EQ(ports, std::vector<std::string>{"sim"});
    // Push buttons carry a tool tip after their caption.
    EXPECT_TRUE(SplitTextAndTip(texts.Text(1000)).tip.has_value());
}

TEST_P(ShippedTextsTest, PrintCaptionHasOneTextAndOneNumber) {
    const std::string format = texts.Text(100007);
    ASSERT_NE(format.find("%s"), std::string::npos);
    EXPECT_LT(format.find("%s"), format.find("%d"));
    EXPECT_EQ(format.find('%', format.find("%d") + 1), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedTextsTest, testing::Values(1033, 1031, 1036));

} // namespace
