#include "settings/SettingsStorageTinyXml.h"
#include "settings/Settings.h"

#include "TempDir.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <array>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// Every scalar slot once.
struct AllTypes : CSettings {
    std::string text = "a & b < c \"quoted\" 'single' > d";
    std::string longText = std::string(3000, 'x') + "end";
    std::wstring wide = L"wide text";
    float single = 0.1f;
    double real = 1.0 / 3.0;
    std::uint64_t u64 = std::numeric_limits<std::uint64_t>::max();
    std::int64_t i64 = std::numeric_limits<std::int64_t>::min();
    std::uint8_t u8 = 200;
    std::int8_t i8 = -100;
    std::uint16_t u16 = 65000;
    std::int16_t i16 = -32000;
    std::uint32_t u32 = 4000000000u;
    std::int32_t i32 = -2000000000;
    bool flag = true;
    std::array<unsigned char, 5> block{0x00, 0x7F, 0x80, 0xAB, 0xFF};
    std::string longNameValue = "under a long key";

    static std::string LongName() { return "Key" + std::string(300, 'k'); }

    bool Exchange(bool, CSettingsStorage* s, bool save, bool defaultsOnly) override {
        if (defaultsOnly)
            return true;
        bool ok = true;
        ok &= s->ExchangeString("Text", text, save);
        ok &= s->ExchangeString("LongText", longText, save);
        ok &= s->ExchangeWString("Wide", wide, save);
        ok &= s->ExchangeFloat("Single", single, save);
        ok &= s->ExchangeDouble("Real", real, save);
        ok &= s->ExchangeUInt64("U64", u64, save);
        ok &= s->ExchangeInt64("I64", i64, save);
        ok &= s->ExchangeUChar("U8", u8, save);
        ok &= s->ExchangeChar("I8", i8, save);
        ok &= s->ExchangeUShort("U16", u16, save);
        ok &= s->ExchangeShort("I16", i16, save);
        ok &= s->ExchangeUInt("U32", u32, save);
        ok &= s->ExchangeInt("I32", i32, save);
        ok &= s->ExchangeBool("Flag", flag, save);
        ok &= s->ExchangeBinary("Block", block.data(), static_cast<unsigned>(block.size()), save);
        ok &= s->ExchangeString(LongName().c_str(), longNameValue, save);
        return ok;
    }
};

void Clear(AllTypes& t) {
    t.text.clear();
    t.longText.clear();
    t.wide.clear();
    t.single = 0;
    t.real = 0;
    t.u64 = 0;
    t.i64 = 0;
    t.u8 = 0;
    t.i8 = 0;
    t.u16 = 0;
    t.i16 = 0;
    t.u32 = 0;
    t.i32 = 0;
    t.flag = false;
    t.block.fill(0);
    t.longNameValue.clear();
}

struct Point : CSettings {
    std::int32_t x = 0, y = 0;
    bool Exchange(bool, CSettingsStorage* s, bool save, bool) override {
        return s->ExchangeInt("X", x, save) && s->ExchangeInt("Y", y, save);
    }
};

// A nested object, a list of objects and a list of plain values.
struct Shape : CSettings {
    std::string name;
    Point origin;
    std::vector<Point> points;
    std::vector<std::int32_t> weights;

    bool Exchange(bool, CSettingsStorage* s, bool save, bool) override {
        if (!s->ExchangeString("Name", name, save) || !s->ExchangeSettings("Origin", origin, save))
            return false;
        unsigned count = static_cast<unsigned>(points.size());
        if (!s->BeginObjectList("Points", count, save))
            return false;
        points.resize(count);
        for (unsigned i = 0; i < count; ++i)
            if (!s->ExchangeObjectListItem(static_cast<int>(i), points[i], save))
                return false;
        s->EndObjectList(save);

        count = static_cast<unsigned>(weights.size());
        if (!s->BeginValueList("Weights", count, save))
            return false;
        weights.resize(count);
        for (unsigned i = 0; i < count; ++i) {
            const char* item = nullptr;
            s->GetValueListItemName(static_cast<int>(i), nullptr, &item);
            if (!s->ListStorage()->ExchangeInt(item, weights[i], save))
                return false;
        }
        return s->EndValueList(save);
    }
};

// Loads the file and runs one exchange on the storage.
template <typename F> bool LoadWith(const std::filesystem::path& file, F exchange) {
    CSettingsStorageTinyXml storage(file, "options");
    EXPECT_TRUE(storage.BeginLoad());
    const bool ok = exchange(storage);
    storage.EndLoad();
    return ok;
}

} // namespace

TEST(SettingsStorageTinyXml, EverySlotRoundTrips) {
    TempDir dir;
    AllTypes saved;
    {
        CSettingsStorageTinyXml storage(dir / "s.xml", "options");
        ASSERT_TRUE(saved.Save(storage));
    }
    AllTypes loaded;
    Clear(loaded);
    CSettingsStorageTinyXml storage(dir / "s.xml", "options");
    ASSERT_TRUE(loaded.Load(storage));

    EXPECT_EQ(loaded.text, saved.text);
    EXPECT_EQ(loaded.longText, saved.longText);
    EXPECT_EQ(loaded.wide, saved.wide);
    EXPECT_EQ(loaded.single, 0.1f);
    EXPECT_EQ(loaded.real, saved.real);
    EXPECT_EQ(loaded.u64, saved.u64);
    EXPECT_EQ(loaded.i64, saved.i64);
    EXPECT_EQ(loaded.u8, saved.u8);
    EXPECT_EQ(loaded.i8, saved.i8);
    EXPECT_EQ(loaded.u16, saved.u16);
    EXPECT_EQ(loaded.i16, saved.i16);
    EXPECT_EQ(loaded.u32, saved.u32);
    EXPECT_EQ(loaded.i32, saved.i32);
    EXPECT_EQ(loaded.flag, saved.flag);
    EXPECT_EQ(loaded.block, saved.block);
    EXPECT_EQ(loaded.longNameValue, saved.longNameValue);

    const std::string file = ReadWholeFile(dir / "s.xml");
    EXPECT_NE(file.find("<Block value=\"007F80ABFF\"/>"), std::string::npos) << file;
    EXPECT_NE(file.find("<U64 value=\"18446744073709551615\"/>"), std::string::npos) << file;
    EXPECT_NE(file.find("&amp;"), std::string::npos) << file;
    EXPECT_EQ(file.rfind("<options>", 0), 0u) << "no XML declaration in a new file";
}

TEST(SettingsStorageTinyXml, LoadsValueTextsAsAStreamReadsThem) {
    TempDir dir;
    WriteWholeFile(dir / "s.xml", "<config>"
                                  "<U8 value=\"300\"/><Float value=\"0.1\"/>"
                                  "<Trailing value=\"12abc\"/><Blank value=\" 12\"/><Word value=\"abc\"/>"
                                  "<Overflow value=\"99999999999\"/><Negative value=\"-7\"/>"
                                  "<BoolWord value=\"true\"/><BoolTwo value=\"2\"/><BoolOne value=\"1\"/>"
                                  "<ShortBlock value=\"0A\"/><BadHex value=\"0G0G\"/><NoValue other=\"1\"/>"
                                  "</config>");
    LoadWith(dir / "s.xml", [](CSettingsStorage& s) {
        std::uint8_t u8 = 0;
        EXPECT_TRUE(s.ExchangeUChar("U8", u8, false));
        EXPECT_EQ(u8, 44) << "narrowed without a range check";
        float f = 0;
        EXPECT_TRUE(s.ExchangeFloat("Float", f, false));
        EXPECT_EQ(f, 0.1f);

        struct IntCase {
            const char* name;
            std::int32_t expected;
        };
        for (const IntCase& c : {IntCase{"Trailing", 12}, IntCase{"Blank", 5}, IntCase{"Word", 5},
                                 IntCase{"Overflow", 5}, IntCase{"Negative", -7}}) {
            std::int32_t value = 5;
            EXPECT_TRUE(s.ExchangeInt(c.name, value, false)) << c.name;
            EXPECT_EQ(value, c.expected) << c.name;
        }
        struct BoolCase {
            const char* name;
            bool expected;
        };
        for (const BoolCase& c :
             {BoolCase{"BoolWord", false}, BoolCase{"BoolTwo", false}, BoolCase{"BoolOne", true}}) {
            bool value = false;
            EXPECT_TRUE(s.ExchangeBool(c.name, value, false)) << c.name;
            EXPECT_EQ(value, c.expected) << c.name;
        }
        for (const char* name : {"ShortBlock", "BadHex"}) {
            std::array<unsigned char, 2> block{1, 2};
            EXPECT_TRUE(s.ExchangeBinary(name, block.data(), 2, false)) << name;
            EXPECT_EQ(block, (std::array<unsigned char, 2>{1, 2})) << name;
        }
        std::int32_t missing = 9;
        EXPECT_FALSE(s.ExchangeInt("NoValue", missing, false));
        EXPECT_FALSE(s.ExchangeInt("NoElement", missing, false));
        EXPECT_EQ(missing, 9);
        return true;
    });
}

TEST(SettingsStorageTinyXml, StringLongerThanTheBufferIsNotWrittenPastIt) {
    TempDir dir;
    WriteWholeFile(dir / "s.xml", "<options><Text value=\"abcdefgh\"/></options>");
    LoadWith(dir / "s.xml", [](CSettingsStorage& s) {
        char buffer[8];
        std::memset(buffer, '#', sizeof buffer);
        unsigned size = 4;
        EXPECT_FALSE(s.ExchangeStringBuffer("Text", buffer, size, false));
        EXPECT_EQ(size, 9u) << "the capacity it needs";
        EXPECT_EQ(std::string(buffer, sizeof buffer), "########");
        size = sizeof buffer + 1;
        char exact[9];
        EXPECT_TRUE(s.ExchangeStringBuffer("Text", exact, size, false));
        EXPECT_STREQ(exact, "abcdefgh");
        return true;
    });
}

TEST(SettingsStorageTinyXml, NestedObjectsAndListsRoundTrip) {
    TempDir dir;
    Shape saved;
    saved.name = "triangle";
    saved.origin = {};
    saved.origin.x = -4;
    saved.origin.y = 9;
    for (int i = 0; i < 12; ++i) {
        Point p;
        p.x = i;
        p.y = i * i;
        saved.points.push_back(p);
        saved.weights.push_back(100 - i);
    }
    {
        CSettingsStorageTinyXml storage(dir / "s.xml", "shapes");
        ASSERT_TRUE(saved.Save(storage));
    }
    Shape loaded;
    {
        CSettingsStorageTinyXml storage(dir / "s.xml", "shapes");
        ASSERT_TRUE(loaded.Load(storage));
    }
    EXPECT_EQ(loaded.name, "triangle");
    EXPECT_EQ(loaded.origin.x, -4);
    EXPECT_EQ(loaded.origin.y, 9);
    ASSERT_EQ(loaded.points.size(), 12u);
    ASSERT_EQ(loaded.weights, saved.weights);
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(loaded.points[i].x, saved.points[i].x);
        EXPECT_EQ(loaded.points[i].y, saved.points[i].y);
    }

    // The layout: nested values under an element named by the key, list items by index.
    tinyxml2::XMLDocument doc;
    ASSERT_EQ(doc.LoadFile((dir / "s.xml").c_str()), tinyxml2::XML_SUCCESS) << ReadWholeFile(dir / "s.xml");
    const tinyxml2::XMLElement* root = doc.RootElement();
    EXPECT_STREQ(root->FirstChildElement("Origin")->FirstChildElement("X")->Attribute("value"), "-4");
    const tinyxml2::XMLElement* points = root->FirstChildElement("Points");
    EXPECT_STREQ(points->FirstChildElement("Count")->Attribute("value"), "12");
    const tinyxml2::XMLElement* item = points->FirstChildElement("Entry");
    EXPECT_STREQ(item->Attribute("key"), "0");
    EXPECT_STREQ(root->FirstChildElement("Weights")->FirstChildElement("Item.11")->Attribute("value"), "89");

    // Saving again through a fresh storage updates in place.
    {
        CSettingsStorageTinyXml storage(dir / "s.xml", "shapes");
        ASSERT_TRUE(saved.Save(storage));
    }
    ASSERT_EQ(doc.LoadFile((dir / "s.xml").c_str()), tinyxml2::XML_SUCCESS);
    int entries = 0;
    for (auto* e = doc.RootElement()->FirstChildElement("Points")->FirstChildElement("Entry"); e;
         e = e->NextSiblingElement("Entry"))
        ++entries;
    EXPECT_EQ(entries, 12);
}

TEST(SettingsStorageTinyXml, ListBeginnings) {
    TempDir dir;
    CSettingsStorageTinyXml storage(dir / "s.xml", "options");
    unsigned count = 0xFFFFFFFFu;
    EXPECT_FALSE(storage.BeginObjectList("L", count, true)) << "before begin there is no element";
    ASSERT_TRUE(storage.BeginSave());
    EXPECT_FALSE(storage.BeginObjectList("L", count, true)) << "a count of all ones";
    count = 0;
    EXPECT_FALSE(storage.BeginObjectList("Missing", count, false)) << "no stored count";
    EXPECT_FALSE(storage.BeginValueList("MissingToo", count, false));
    EXPECT_EQ(storage.ListStorage(), nullptr);
    EXPECT_FALSE(storage.EndValueList(false));
    Point p;
    EXPECT_FALSE(storage.ExchangeObjectListItem(0, p, true));
}

TEST(SettingsStorageTinyXml, SaveTwiceKeepsOneElementPerNameAndTheFileRootWhateverItsName) {
    TempDir dir;
    WriteWholeFile(dir / "s.xml", "<config><X value=\"1\"/></config>");
    for (int round = 0; round < 2; ++round) {
        Point p;
        p.x = 7;
        p.y = 8;
        CSettingsStorageTinyXml storage(dir / "s.xml", "options");
        ASSERT_TRUE(p.Save(storage));
    }
    EXPECT_EQ(ReadWholeFile(dir / "s.xml"),
              "<config>\n    <X value=\"7\"/>\n    <Y value=\"8\"/>\n</config>\n");
}

TEST(SettingsStorageTinyXml, UnwritableFileFailsTheSave) {
    TempDir dir;
    Point p;
    CSettingsStorageTinyXml storage(dir / "missing" / "s.xml", "options");
    EXPECT_FALSE(p.Save(storage));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(SettingsStorageTinyXml, UnreadableFileIsKeptBesideTheNewOne) {
    TempDir dir;
    const std::string broken = "<options><X value=\"1\"></options";
    WriteWholeFile(dir / "s.xml", broken);
    Point p;
    p.x = 3;
    {
        CSettingsStorageTinyXml storage(dir / "s.xml", "options");
        ASSERT_TRUE(p.Save(storage));
    }
    EXPECT_EQ(ReadWholeFile(dir / "s.xml.bad"), broken);
    EXPECT_EQ(ReadWholeFile(dir / "s.xml"),
              "<options>\n    <X value=\"3\"/>\n    <Y value=\"0\"/>\n</options>\n");
}

// The options file, its copy of an unreadable old file and their temporary files are made
// exclusively: a link planted under the old fixed names is never written through, and an options
// file that is a link stays one.
TEST(SettingsStorageTinyXml, PlantedLinksAreNeverWrittenThrough) {
    TempDir dir;
    WriteWholeFile(dir / "victim", "the user's own file");
    WriteWholeFile(dir / "real.xml", "<options><X value=\"1\"></options");
    std::filesystem::create_symlink("real.xml", dir / "s.xml");
    for (const char* planted : {"real.xml.tmp", "real.xml.bad.tmp", "s.xml.tmp", "s.xml.bad"})
        std::filesystem::create_symlink(dir / "victim", dir / planted);
    Point p;
    p.x = 3;
    {
        CSettingsStorageTinyXml storage(dir / "s.xml", "options");
        ASSERT_TRUE(p.Save(storage));
    }
    EXPECT_EQ(ReadWholeFile(dir / "victim"), "the user's own file");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "s.xml"));
    EXPECT_EQ(ReadWholeFile(dir / "real.xml"),
              "<options>\n    <X value=\"3\"/>\n    <Y value=\"0\"/>\n</options>\n");
    EXPECT_EQ(ReadWholeFile(dir / "real.xml.bad"), "<options><X value=\"1\"></options");
}
