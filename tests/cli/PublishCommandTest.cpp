// Publishing from the command line: imports from the simulated station, Debian's mosquitto as the
// broker, and a subscriber that checks what arrived.

#include "CliFixture.h"
#include "MosquittoBroker.h"
#include "MqttSubscriber.h"

#include "history/HistoryData.h"

#include <sys/stat.h>

#include <fstream>

namespace {

class PublishCommandTest : public CliTest {
protected:
    void WriteOptions(const MosquittoBroker& broker, const std::string& extra = "") {
        std::ofstream(Path("Nivaro.xml"))
            << "<options><MqttBroker value=\"" << broker.Url() << "\"/>"
            << "<MqttDeviceId value=\"0a1b2c3d4e5f\"/>" << extra << "</options>";
    }
    CliResult Import() { return Run({"--port", "sim:station.img", "import"}); }

    static std::vector<std::string> ArchiveTimes(const std::vector<MqttSubscriber::Received>& received) {
        std::vector<std::string> times;
        for (const auto& r : received)
            if (r.topic == "nivaro/archive" && !r.retained)
                times.push_back(r.payload.substr(9, 16));
        return times;
    }
    // The date-times the history holds, as the archive writes them.
    std::vector<std::string> HistoryTimes() {
        const CliResult csv = Run({"export", "--format", "csv"});
        std::vector<std::string> times;
        for (const std::string& line : Lines(csv.out))
            if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])))
                times.push_back(line.substr(0, 16));
        return times;
    }
};

} // namespace

TEST_F(PublishCommandTest, TheFirstImportAnnouncesAndARoutineOneSendsOnlyTheNew) {
    MosquittoBroker broker;
    WriteOptions(broker);
    CreateImage("station.img", 2, 10);
    MqttSubscriber archive(broker.Port(), "nivaro/archive");
    const CliResult first = Import();
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.err, "");
    EXPECT_NE(first.out.find("Published to MQTT:         10"), std::string::npos) << first.out;

    {
        MqttSubscriber late(broker.Port(), "#");
        std::set<std::string> retained;
        for (const auto& r : late.Sync())
            if (r.retained)
                retained.insert(r.topic);
        EXPECT_EQ(retained.size(), 2u + 6u) << "status, state, indoor and two transmitters";
        EXPECT_TRUE(retained.count("nivaro/state"));
        EXPECT_TRUE(retained.count("homeassistant/sensor/nivaro_0a1b2c3d4e5f/outdoor2_humidity/config"));
    }
    EXPECT_EQ(ArchiveTimes(archive.Sync()), HistoryTimes());

    ASSERT_EQ(Run({"sim", "add", "station.img", "--datasets", "3"}).exitCode, 0);
    const CliResult routine = Import();
    ASSERT_EQ(routine.exitCode, 0) << routine.err;
    EXPECT_NE(routine.out.find("Published to MQTT:         3"), std::string::npos) << routine.out;
    const auto times = ArchiveTimes(archive.Sync());
    EXPECT_EQ(times.size(), 13u);
    EXPECT_EQ(times, HistoryTimes()) << "each once, in order";
}

TEST_F(PublishCommandTest, ABrokerAwayWarnsOnceThenAFullRingArrivesInOrder) {
    MosquittoBroker broker;
    WriteOptions(broker);
    CreateImage("station.img", 1, 5000); // wraps: the whole ring, some 3,300 datasets
    broker.Stop();
    const CliResult import = Import();
    ASSERT_EQ(import.exitCode, 0) << "the import stands";
    ExpectOneErrorLine(import, "warning: not published: broker " + broker.Url() + " cannot be reached");
    const auto history = HistoryTimes();
    EXPECT_GT(history.size(), 3000u);
    EXPECT_NE(import.err.find(std::to_string(history.size()) + " datasets wait"), std::string::npos)
        << import.err;

    const CliResult away = Run({"publish"});
    EXPECT_EQ(away.exitCode, 2);
    ExpectOneErrorLine(away, "cannot be reached");

    broker.Start();
    MqttSubscriber archive(broker.Port(), "nivaro/archive");
    const CliResult publish = Run({"publish"});
    ASSERT_EQ(publish.exitCode, 0) << publish.err;
    EXPECT_EQ(ArchiveTimes(archive.Sync()), history) << "nothing lost, in order";

    const CliResult again = Run({"publish"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find("Published 0 datasets"), std::string::npos) << again.out;
}

// Datasets added behind the mark out of date-time order (a merged file) are sent in date-time
// order, each once; one older than the mark is not sent.
TEST_F(PublishCommandTest, DatasetsAfterTheMarkOfAFileOutOfOrderGoInDateTimeOrder) {
    MosquittoBroker broker;
    WriteOptions(broker);
    CreateImage("station.img", 1, 4);
    ASSERT_EQ(Import().exitCode, 0);
    MqttSubscriber archive(broker.Port(), "nivaro/archive");
    const std::vector<CDataset> added = {MakeMeasurement(CDateTime(2006, 3, 1, 12, 0, 0), 1, 1),
                                         MakeMeasurement(CDateTime(2004, 3, 1, 12, 0, 0), 1, 2),
                                         MakeMeasurement(CDateTime(2006, 2, 1, 12, 0, 0), 1, 3)};
    CHistoryData store;
    ASSERT_TRUE(store.Append(Path("history.nvh"), added));

    const CliResult publish = Run({"publish"});
    ASSERT_EQ(publish.exitCode, 0) << publish.err;
    EXPECT_NE(publish.out.find("Published 2 datasets"), std::string::npos) << publish.out;
    EXPECT_EQ(ArchiveTimes(archive.Sync()),
              (std::vector<std::string>{"2006-02-01T12:00", "2006-03-01T12:00"}));
}

TEST_F(PublishCommandTest, AWrongPasswordIsAWarningForTheImportAndAFailureForPublish) {
    MosquittoBroker broker(MosquittoBroker::Login{"station", "right"});
    std::ofstream(Path("password")) << "wrong\n";
    ::chmod(Path("password").c_str(), 0600);
    WriteOptions(broker, "<MqttUser value=\"station\"/><MqttPasswordFile value=\"password\"/>");
    CreateImage("station.img", 1, 4);
    const CliResult import = Import();
    EXPECT_EQ(import.exitCode, 0);
    ExpectOneErrorLine(import, "refused the login");

    const CliResult publish = Run({"publish"});
    EXPECT_EQ(publish.exitCode, 2);
    ExpectOneErrorLine(publish, "refused the login");

    std::ofstream(Path("password")) << "right\n";
    ::chmod(Path("password").c_str(), 0644);
    const CliResult open = Run({"publish"});
    EXPECT_EQ(open.exitCode, 2);
    ExpectOneErrorLine(open, "may be read by others");

    ::chmod(Path("password").c_str(), 0600);
    const CliResult right = Run({"publish"});
    EXPECT_EQ(right.exitCode, 0) << right.err;
    EXPECT_NE(right.out.find("Published 4 datasets"), std::string::npos) << right.out;
}

TEST_F(PublishCommandTest, DryRunPrintsAndSendsNothing) {
    MosquittoBroker broker;
    WriteOptions(broker, "<TemperatureFormat value=\"1\"/>");
    CreateImage("station.img", 1, 3);
    ASSERT_EQ(Run({"--port", "sim:station.img", "import"}).exitCode, 0);
    MqttSubscriber subscriber(broker.Port(), "#");
    const std::size_t before = subscriber.Sync().size();

    const CliResult dry = Run({"publish", "--dry-run"});
    ASSERT_EQ(dry.exitCode, 0) << dry.err;
    const auto lines = Lines(dry.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "nivaro/status (retained) online");
    EXPECT_TRUE(lines.back().starts_with("nivaro/state (retained) {\"time\":\"2005-01-17T14:45:00"))
        << lines.back();
    EXPECT_NE(dry.out.find("\"unit_of_measurement\":\"°C\""), std::string::npos)
        << "a Fahrenheit display changes nothing";
    EXPECT_EQ(subscriber.Sync().size(), before);
}

TEST_F(PublishCommandTest, WithoutABrokerNothingIsPublished) {
    CreateImage("station.img", 1, 3);
    const CliResult import = Import();
    EXPECT_EQ(import.exitCode, 0);
    EXPECT_EQ(import.out.find("Published"), std::string::npos);
    EXPECT_FALSE(Exists("history.nvh.mqtt"));
    const CliResult publish = Run({"publish"});
    EXPECT_EQ(publish.exitCode, 2);
    ExpectOneErrorLine(publish, "set the option MqttBroker");
}
