#include "settings/Options.h"
#include "platform/SerialPortList.h"

#include "TempDir.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <thread>
#include <vector>

namespace {

// The names of the root's child elements, in document order.
std::vector<std::string> ChildNames(const std::filesystem::path& file) {
    tinyxml2::XMLDocument doc;
    EXPECT_EQ(doc.LoadFile(file.c_str()), tinyxml2::XML_SUCCESS) << ReadWholeFile(file);
    std::vector<std::string> names;
    if (doc.RootElement())
        for (auto* e = doc.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement())
            names.push_back(e->Name());
    return names;
}

std::string ValueOf(const std::filesystem::path& file, const char* name) {
    tinyxml2::XMLDocument doc;
    doc.LoadFile(file.c_str());
    const tinyxml2::XMLElement* e = doc.RootElement() ? doc.RootElement()->FirstChildElement(name) : nullptr;
    return e && e->Attribute("value") ? e->Attribute("value") : "<none>";
}

const std::vector<std::string> AllInOrder = {
    "LanguageID",           "DateFormat", "TimeFormat", "TemperatureFormat", "Port",
    "RecordingHistoryFile", "LogLevel",   "LogToFile",  "NrOfTransmitters",  "Version"};

void ExpectDefaults(const COptionsImpl& o, const TempDir& dir) {
    EXPECT_EQ(o.GetLanguageID(), 1033);
    EXPECT_EQ(o.GetDateFormat(), 0);
    EXPECT_EQ(o.GetTimeFormat(), 0);
    EXPECT_EQ(o.GetTemperatureFormat(), 0);
    EXPECT_EQ(o.GetPort(), DefaultSerialPort(PresentSerialPorts())); // never the console's COM1
    EXPECT_EQ(o.GetRecordingHistoryFile(), dir.path() / "history.nvh");
    EXPECT_EQ(o.GetLogLevel(), 30);
    EXPECT_FALSE(o.GetLogToFile());
    EXPECT_EQ(o.GetNrOfTransmitters(), 6);
    EXPECT_EQ(o.GetVersion(), 0);
    EXPECT_EQ(o.GetDateTimeFormat(), "%d.%m.%Y %H:%M");
}

} // namespace

TEST(Options, NoFileGivesDefaultsAndASaveWritesTheTenInExchangeOrder) {
    TempDir dir;
    const auto file = dir / "Nivaro.xml";
    COptionsImpl options(file, dir.path());
    ExpectDefaults(options, dir);
    EXPECT_EQ(options.GetDefaultHistoryFile(), (dir.path() / "history.nvh").native());
    EXPECT_FALSE(std::filesystem::exists(file)) << "loading writes nothing";

    ASSERT_TRUE(options.SaveOptions());
    const std::string text = ReadWholeFile(file);
    EXPECT_EQ(text.rfind("<options>", 0), 0u) << "no declaration: " << text;
    EXPECT_EQ(ChildNames(file), AllInOrder);
    EXPECT_EQ(ValueOf(file, "RecordingHistoryFile"), (dir.path() / "history.nvh").native());
    EXPECT_EQ(ValueOf(file, "LogToFile"), "0");
    EXPECT_EQ(ValueOf(file, "NrOfTransmitters"), "6");
}

TEST(Options, ChangedValuesRoundTrip) {
    TempDir dir;
    const auto file = dir / "Nivaro.xml";
    {
        COptionsImpl options(file, dir.path());
        options.SetLanguageID(1031);
        options.SetDateFormat(4);
        options.SetTimeFormat(1);
        options.SetTemperatureFormat(1);
        options.SetPort("/dev/ttyUSB0");
        options.SetRecordingHistoryFile(dir.path() / "R&D <data> \"x\"" / "h.nvh");
        options.SetLogLevel(-5);
        options.SetLogToFile(true);
        options.SetNrOfTransmitters(3);
        options.SetVersion(1);
        ASSERT_TRUE(options.SaveOptions());
    }
    COptionsImpl loaded(file, dir.path());
    EXPECT_EQ(loaded.GetLanguageID(), 1031);
    EXPECT_EQ(loaded.GetDateTimeFormat(), "%Y-%m-%d %I:%M %p");
    EXPECT_TRUE(loaded.UsesFahrenheit());
    EXPECT_EQ(loaded.GetPort(), "/dev/ttyUSB0");
    EXPECT_EQ(loaded.GetRecordingHistoryFile(), dir.path() / "R&D <data> \"x\"" / "h.nvh");
    EXPECT_EQ(loaded.GetLogLevel(), -5);
    EXPECT_TRUE(loaded.GetLogToFile());
    EXPECT_EQ(loaded.GetNrOfTransmitters(), 3);
    EXPECT_EQ(loaded.GetVersion(), 1);
}

TEST(Options, MissingElementsAreAppendedAfterTheExistingOnes) {
    TempDir dir;
    const auto file = dir / "Nivaro.xml";
    WriteWholeFile(file, "<options><LanguageID value=\"1036\"/></options>");
    COptionsImpl options(file, dir.path());
    EXPECT_EQ(options.GetLanguageID(), 1036);
    EXPECT_EQ(options.GetPort(), DefaultSerialPort(PresentSerialPorts()));
    ASSERT_TRUE(options.SaveOptions());
    EXPECT_EQ(ChildNames(file), AllInOrder);
}

TEST(Options, SaveKeepsForeignContent) {
    TempDir dir;
    const auto file = dir / "Nivaro.xml";
    WriteWholeFile(file, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<!-- written by hand -->\n"
                         "<options owner=\"me\">\n"
                         "    <Extra value=\"keep\"><Inner/></Extra>\n"
                         "    <!-- the port -->\n"
                         "    <Port value=\"COM3\" note=\"usb adapter\"/>\n"
                         "</options>\n");
    COptionsImpl options(file, dir.path());
    EXPECT_EQ(options.GetPort(), "COM3");
    options.SetPort("COM4");
    ASSERT_TRUE(options.SaveOptions());

    const std::string text = ReadWholeFile(file);
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << text;
    for (const char* kept : {"<!-- written by hand -->", "owner=\"me\"", "<Extra value=\"keep\">", "<Inner/>",
                             "<!-- the port -->", "<Port value=\"COM4\" note=\"usb adapter\"/>"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept << " in\n" << text;
    std::vector<std::string> expected = {"Extra",
                                         "Port",
                                         "LanguageID",
                                         "DateFormat",
                                         "TimeFormat",
                                         "TemperatureFormat",
                                         "RecordingHistoryFile",
                                         "LogLevel",
                                         "LogToFile",
                                         "NrOfTransmitters",
                                         "Version"};
    EXPECT_EQ(ChildNames(file), expected);
}

TEST(Options, BadValues) {
    struct Case {
        const char* element;
        const char* stored;
        const char* writtenBack;
    };
    // Values the program cannot use keep their default; a number it can read is kept and written
    // back as it is even when it is outside its table.
    const Case cases[] = {
        {"TemperatureFormat", "2", "2"}, {"DateFormat", "9", "9"},  {"TimeFormat", "-1", "-1"},
        {"LogToFile", "true", "0"},      {"LogLevel", " 12", "30"}, {"LogLevel", "12abc", "12"},
        {"LanguageID", "", "1033"},      {"Version", "x1", "0"},    {"NrOfTransmitters", "99999999999", "6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.element) + "=\"" + c.stored + "\"");
        TempDir dir;
        const auto file = dir / "Nivaro.xml";
        WriteWholeFile(file,
                       std::string("<options><") + c.element + " value=\"" + c.stored + "\"/></options>");
        COptionsImpl options(file, dir.path());
        ASSERT_TRUE(options.SaveOptions());
        EXPECT_EQ(ValueOf(file, c.element), c.writtenBack);
    }

    TempDir dir;
    WriteWholeFile(dir / "Nivaro.xml", "<options><TemperatureFormat value=\"2\"/><DateFormat value=\"9\"/>"
                                       "<TimeFormat value=\"7\"/><Port/></options>");
    COptionsImpl options(dir / "Nivaro.xml", dir.path());
    EXPECT_FALSE(options.UsesFahrenheit());
    EXPECT_EQ(options.GetDateFormat(), 9);
    EXPECT_EQ(options.GetDateTimeFormat(), "%d.%m.%Y %H:%M") << "outside the tables: the default patterns";
    EXPECT_EQ(options.GetPort(), DefaultSerialPort(PresentSerialPorts())) << "no value attribute";
}

TEST(Options, MalformedOrUnreadableFileGivesDefaults) {
    const std::string bad[] = {"", "not xml at all", "<options><Port value=\"COM9\"></options>",
                               "<options><Port value=\"COM9\"/>", std::string("\xff\xfe<\0o", 5)};
    for (const std::string& content : bad) {
        SCOPED_TRACE(content);
        TempDir dir;
        const auto file = dir / "Nivaro.xml";
        WriteWholeFile(file, content);
        COptionsImpl options(file, dir.path());
        ExpectDefaults(options, dir);
        ASSERT_TRUE(options.SaveOptions());
        EXPECT_EQ(ChildNames(file), AllInOrder);
        EXPECT_EQ(ReadWholeFile(dir / "Nivaro.xml.bad"), content) << "the old file is kept";
    }

    TempDir dir;
    std::filesystem::create_directory(dir / "Nivaro.xml");
    COptionsImpl options(dir / "Nivaro.xml", dir.path());
    ExpectDefaults(options, dir);
    options.SetPort("COM2");
    EXPECT_FALSE(options.SaveOptions()) << "a directory is in the way";
    EXPECT_EQ(options.GetPort(), "COM2");
}

// The parser accepts stray text after the root, but once printed that text no longer loads, and
// every option would fall back to its default at the next start (found by fuzzing).
TEST(Options, ContentThatWouldNotReadBackIsNotSavedAndTheOldFileIsKept) {
    TempDir dir;
    const auto file = dir / "Nivaro.xml";
    const std::string content = "<options><LanguageID value=\"1031\"/></options>></options>";
    WriteWholeFile(file, content);
    {
        COptionsImpl options(file, dir.path());
        EXPECT_EQ(options.GetLanguageID(), 1031);
        options.SetPort("COM4");
        ASSERT_TRUE(options.SaveOptions());
    }
    EXPECT_EQ(ChildNames(file), AllInOrder);
    EXPECT_EQ(ReadWholeFile(dir / "Nivaro.xml.bad"), content) << "the old file is kept";
    COptionsImpl reloaded(file, dir.path());
    EXPECT_EQ(reloaded.GetLanguageID(), 1031);
    EXPECT_EQ(reloaded.GetPort(), "COM4");
}

TEST(Options, RootWithAnotherNameIsReadAllTheSame) {
    TempDir dir;
    WriteWholeFile(dir / "Nivaro.xml", "<config><Port value=\"COM7\"/></config>");
    COptionsImpl options(dir / "Nivaro.xml", dir.path());
    EXPECT_EQ(options.GetPort(), "COM7");
}

TEST(Options, WorkerThreadSetsTheCountWhileTheOptionsAreSaved) {
    TempDir dir;
    COptionsImpl options(dir / "Nivaro.xml", dir.path());
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i)
            options.SetNrOfTransmitters(i % 6);
    });
    for (int i = 0; i < 20; ++i) {
        options.SetPort("COM" + std::to_string(i));
        EXPECT_TRUE(options.SaveOptions());
    }
    worker.join();
    EXPECT_TRUE(options.SaveOptions());
    EXPECT_EQ(ValueOf(dir / "Nivaro.xml", "NrOfTransmitters"), std::to_string(options.GetNrOfTransmitters()));
}

TEST(Options, StandaloneObjectSavesOnlyWhenAsked) {
    TempDir dir;
    { COptionsImpl options(dir / "Nivaro.xml", dir.path()); }
    EXPECT_FALSE(std::filesystem::exists(dir / "Nivaro.xml"));
}

// The process-wide options reach their file at process exit. Runs in a child process so that this
// test program's own singleton is never created.
TEST(OptionsDeathTest, SingletonSavesAtProcessExit) {
    TempDir dir;
    const auto file = dir / "Nivaro.xml";
    EXPECT_EXIT(
        {
            COptionsImpl::UseFile(file);
            Options().SetNrOfTransmitters(4);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(ChildNames(file), AllInOrder);
    EXPECT_EQ(ValueOf(file, "NrOfTransmitters"), "4");
}
