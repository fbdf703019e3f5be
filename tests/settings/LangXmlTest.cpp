#include "settings/LangXml.h"
#include "settings/InstalledDataDirectory.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

std::string Table(const std::string& entries) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n" + entries + "</root>\n";
}

struct LookupCase {
    const char* name;
    std::string entries;
    int key;
    bool found;
    std::string text;
};

class LookupTest : public testing::TestWithParam<LookupCase> {};

TEST_P(LookupTest, FindsTheFirstEntryWithText) {
    const LookupCase& c = GetParam();
    TempDir dir;
    WriteWholeFile(dir / "texts_1033.xml", Table(c.entries));
    LoadMultiLangXml texts({dir.path()});
    texts.SetLanguage(1033);
    std::string text = "untouched";
    EXPECT_EQ(texts.Lookup(c.key, text), c.found);
    EXPECT_EQ(text, c.found ? c.text : std::string("untouched"));
}

INSTANTIATE_TEST_SUITE_P(
    Entries, LookupTest,
    testing::Values(
        LookupCase{"Plain", R"(<data key="100"><value>About</value></data>)", 100, true, "About"},
        LookupCase{"AnyElementName", R"(<text key="7"><value>seven</value></text>)", 7, true, "seven"},
        LookupCase{"Missing", R"(<data key="100"><value>About</value></data>)", 101, false, ""},
        LookupCase{"FirstEmptyValueSkipped",
                   R"(<data key="5"><value></value></data><data key="5"><value>second</value></data>)", 5,
                   true, "second"},
        LookupCase{"FirstOfTwoWins",
                   R"(<data key="5"><value>first</value></data><data key="5"><value>second</value></data>)",
                   5, true, "first"},
        LookupCase{"BackslashNBecomesLineBreak", R"(<data key="9"><value>one\ntwo\nthree</value></data>)", 9,
                   true, "one\ntwo\nthree"},
        LookupCase{"NegativeKey", R"(<data key="-1"><value>frame</value></data>)", -1, true, "frame"},
        LookupCase{"LeadingZeroIsAnotherKey", R"(<data key="0100"><value>x</value></data>)", 100, false, ""},
        LookupCase{"ValueMustStartWithText", R"(<data key="3"><value><b>bold</b></value></data>)", 3, false,
                   ""},
        LookupCase{"NoValueElement", R"(<data key="3">loose text</data>)", 3, false, ""},
        LookupCase{"UmlautsKept", R"(<data key="4"><value>Öffnen für Données</value></data>)", 4, true,
                   "Öffnen für Données"},
        LookupCase{"EscapedMarkup", R"(<data key="6"><value>a &lt; b &amp; c</value></data>)", 6, true,
                   "a < b & c"}),
    [](const auto& info) { return std::string(info.param.name); });

// A language without a usable file (unknown id, missing, broken) takes the English texts, so no
// title is ever blank; only without English as well is the table empty.
TEST(LangXmlTest, MissingOrBrokenFileFallsBackToEnglish) {
    TempDir dir;
    WriteWholeFile(dir / "texts_1031.xml", "<root><data key=\"1\"><value>kaputt</value>"); // not well-formed
    WriteWholeFile(dir / "texts_1033.xml", Table(R"(<data key="1"><value>Date</value></data>)"));
    LoadMultiLangXml texts({dir.path()});
    for (const std::uint16_t language : {1031, 1036, 4711}) {
        texts.SetLanguage(language);
        EXPECT_EQ(texts.Text(1), "Date") << language;
        EXPECT_EQ(texts.LoadedFile(), dir / "texts_1033.xml");
        EXPECT_EQ(texts.GetLanguage(), language);
    }
}

TEST(LangXmlTest, MissingOrBrokenFileGivesAnEmptyTable) {
    TempDir dir;
    WriteWholeFile(dir / "texts_1031.xml", "<root><data key=\"1\"><value>kaputt</value>"); // not well-formed
    LoadMultiLangXml texts({dir.path()});
    std::string text;
    texts.SetLanguage(1036); // no file
    EXPECT_FALSE(texts.Lookup(1, text));
    texts.SetLanguage(1031);
    EXPECT_FALSE(texts.Lookup(1, text));
    EXPECT_TRUE(texts.LoadedFile().empty());
}

TEST(LangXmlTest, SearchesDirectoriesInOrderAndReplacesPreviousLanguage) {
    TempDir first, second;
    WriteWholeFile(first / "texts_1033.xml", Table(R"(<data key="1"><value>own</value></data>)"));
    WriteWholeFile(second / "texts_1033.xml", Table(R"(<data key="1"><value>installed</value></data>)"));
    WriteWholeFile(second / "texts_1036.xml", Table(R"(<data key="1"><value>installé</value></data>)"));
    LoadMultiLangXml texts({first.path(), second.path()});
    texts.SetLanguage(1033);
    EXPECT_EQ(texts.Text(1), "own");
    EXPECT_EQ(texts.LoadedFile(), first / "texts_1033.xml");
    texts.SetLanguage(1036);
    EXPECT_EQ(texts.Text(1), "installé");
    EXPECT_EQ(texts.GetLanguage(), 1036);
}

TEST(LangXmlTest, LanguageZeroMeansEnglish) {
    TempDir dir;
    WriteWholeFile(dir / "texts_1033.xml", Table(R"(<data key="1"><value>English</value></data>)"));
    LoadMultiLangXml texts({dir.path()});
    texts.SetLanguage(0);
    EXPECT_EQ(texts.GetLanguage(), 1033);
    EXPECT_EQ(texts.Text(1), "English");
}

TEST(LangXmlTest, UserDefaultLanguageFollowsTheLocale) {
    const char* saved[] = {std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG")};
    const std::string keep[] = {saved[0] ? saved[0] : "", saved[1] ? saved[1] : "", saved[2] ? saved[2] : ""};
    struct Case {
        const char* lcAll;
        const char* lang;
        std::uint16_t expected;
    };
    for (const Case& c : {Case{"", "de_DE.UTF-8", 1031}, Case{"", "fr_CH.UTF-8", 1036}, Case{"", "C", 1033},
                          Case{"fr_FR.UTF-8", "de_DE.UTF-8", 1036}, Case{"", "", 1033}}) {
        ::setenv("LC_ALL", c.lcAll, 1);
        ::unsetenv("LC_MESSAGES");
        ::setenv("LANG", c.lang, 1);
        EXPECT_EQ(UserDefaultLanguage(), c.expected) << c.lcAll << " " << c.lang;
    }
    const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    for (int i = 0; i < 3; ++i) {
        if (saved[i])
            ::setenv(names[i], keep[i].c_str(), 1);
        else
            ::unsetenv(names[i]);
    }
}

} // namespace

TEST(LangXmlTest, InstalledProgramFindsTheTextsUnderItsPrefix) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/nivaro", "/usr/share/nivaro"},
        {"/usr/local/bin/nivaro-cli", "/usr/local/share/nivaro"},
        {"/home/anna/.local/bin/nivaro", "/home/anna/.local/share/nivaro"},
    };
    for (const auto& [executable, data] : cases)
        EXPECT_EQ(InstalledDataDirectory(executable), std::filesystem::path(data)) << executable;

    // An installed tree: the start-up directory has no texts, the prefix's share folder has.
    TempDir startup, prefix;
    std::filesystem::create_directories(prefix / "share" / "nivaro");
    WriteWholeFile(prefix / "share" / "nivaro" / "texts_1031.xml",
                   Table(R"(<data key="1"><value>installiert</value></data>)"));
    LoadMultiLangXml texts({startup.path(), InstalledDataDirectory(prefix / "bin" / "nivaro")});
    texts.SetLanguage(1031);
    EXPECT_EQ(texts.Text(1), "installiert");

    // This program's own prefix is searched right after the start-up directory.
    const auto directories = LoadMultiLangXml::DefaultSearchDirectories();
    ASSERT_GE(directories.size(), 2u);
    EXPECT_EQ(directories[1], InstalledDataDirectory(std::filesystem::read_symlink("/proc/self/exe")));
}
