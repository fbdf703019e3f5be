// The publisher against Debian's mosquitto broker on loopback, checked by a subscribing client.

#include "publish/PublishState.h"
#include "publish/Publisher.h"

#include "MosquittoBroker.h"
#include "MqttSubscriber.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>

namespace {

class PublisherTest : public ::testing::Test {
protected:
    PublishRequest Request(const MosquittoBroker& broker) {
        PublishRequest request;
        request.options.broker = broker.Url();
        request.options.deviceId = "0a1b2c3d4e5f";
        request.historyFile = dir / "history.nvh";
        request.transmitters = 1;
        request.timeout = std::chrono::seconds(10);
        return request;
    }

    // The times of the archive messages, in the order they came.
    static std::vector<std::string> ArchiveTimes(const std::vector<MqttSubscriber::Received>& received) {
        std::vector<std::string> times;
        for (const auto& r : received)
            if (r.topic == "nivaro/archive")
                times.push_back(r.payload.substr(9, 19));
        return times;
    }
    static std::vector<std::string> TimesOf(std::span<const CDataset> datasets) {
        std::vector<std::string> times;
        for (const CDataset& d : datasets)
            times.push_back(d.GetDateTime().Format("%Y-%m-%dT%H:%M:%S"));
        return times;
    }
    // Retained messages by topic, as a new subscriber gets them.
    static std::map<std::string, std::string> Retained(const MosquittoBroker& broker) {
        MqttSubscriber subscriber(broker.Port(), "#");
        std::map<std::string, std::string> retained;
        for (const auto& r : subscriber.Sync()) {
            EXPECT_TRUE(r.retained) << r.topic;
            retained[r.topic] = r.payload;
        }
        return retained;
    }

    TempDir dir;
};

// Datasets every 5 minutes from 2026-12-08 00:00, indoor and one outdoor transmitter.
std::vector<CDataset> Series(int count, int from = 0) {
    std::vector<CDataset> history;
    const double start = CDateTime(2026, 12, 8, 0, 0, 0).Value();
    for (int i = from; i < from + count; ++i) {
        CDataset d;
        CDateTime::Fields f;
        CDateTime(start + i * 5.0 / (24 * 60) + 1e-7).GetFields(f);
        d.SetDateTime(CDateTime(f.year, f.month, f.day, f.hour, f.minute, 0));
        d.SetTemperature(0, 20.0f + static_cast<float>(i % 50) / 10);
        d.SetHumidity(0, 40);
        d.SetTemperature(1, -3.5f);
        d.SetHumidity(1, 80);
        history.push_back(d);
    }
    return history;
}

} // namespace

TEST_F(PublisherTest, FirstPublishAnnouncesAndRetainsTheStateAndStatus) {
    MosquittoBroker broker;
    MqttSubscriber archive(broker.Port(), "nivaro/archive");
    const auto history = Series(3);
    const PublishReport report = PublishHistory(Request(broker), history);
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.archived, 3u);
    EXPECT_EQ(report.pending, 0u);

    const auto retained = Retained(broker);
    EXPECT_EQ(retained.at("nivaro/status"), "online");
    EXPECT_NE(retained.at("nivaro/state").find("\"time\":\"2026-12-08T00:10:00"), std::string::npos)
        << retained.at("nivaro/state");
    for (const char* quantity :
         {"indoor_temperature", "indoor_humidity", "outdoor1_temperature", "outdoor1_humidity"})
        EXPECT_TRUE(
            retained.count(std::string("homeassistant/sensor/nivaro_0a1b2c3d4e5f/") + quantity + "/config"))
            << quantity;
    EXPECT_EQ(retained.size(), 2u + 4u) << "status, state and the four configs; the archive is not retained";

    EXPECT_EQ(ArchiveTimes(archive.Sync()), TimesOf(history));
    for (const auto& r : archive.Sync())
        EXPECT_EQ(r.qos, 1) << r.topic;
    EXPECT_EQ(ReadPublishState(PublishStateFile(dir / "history.nvh")).state,
              (PublishState{history.back().GetDateTime(), 1}));
}

TEST_F(PublisherTest, ARoutinePublishSendsOnlyTheNewDatasets) {
    MosquittoBroker broker;
    auto history = Series(5);
    ASSERT_TRUE(PublishHistory(Request(broker), history).ok);

    MqttSubscriber subscriber(broker.Port(), "#");
    subscriber.Sync(); // the retained ones from the first publish
    const auto more = Series(3, 5);
    history.insert(history.end(), more.begin(), more.end());
    const PublishReport report = PublishHistory(Request(broker), history);
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.archived, 3u);
    std::vector<MqttSubscriber::Received> live;
    for (const auto& r : subscriber.Sync())
        if (!r.retained)
            live.push_back(r);
    EXPECT_EQ(ArchiveTimes(live), TimesOf(more));
    for (const auto& r : live)
        EXPECT_FALSE(r.topic.starts_with("homeassistant/")) << "discovery is not repeated: " << r.topic;
}

TEST_F(PublisherTest, ABrokerAwayLosesNothingAndTheBacklogArrivesInOrder) {
    MosquittoBroker broker;
    auto history = Series(2);
    ASSERT_TRUE(PublishHistory(Request(broker), history).ok);

    broker.Stop();
    const auto away = Series(4, 2);
    history.insert(history.end(), away.begin(), away.end());
    PublishReport report = PublishHistory(Request(broker), history);
    EXPECT_FALSE(report.ok);
    EXPECT_NE(report.error.find("cannot be reached"), std::string::npos) << report.error;
    EXPECT_EQ(report.error.find('\n'), std::string::npos) << "one line";
    EXPECT_EQ(report.pending, 4u);

    broker.Start();
    MqttSubscriber subscriber(broker.Port(), "nivaro/archive");
    report = PublishHistory(Request(broker), history);
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(ArchiveTimes(subscriber.Sync()), TimesOf(away));
}

TEST_F(PublisherTest, ABrokerThatDiesWhilePublishingSkipsNothingItDidNotTake) {
    MosquittoBroker broker;
    const auto history = Series(3300);
    PublishReport first;
    {
        MqttSubscriber subscriber(broker.Port(), "nivaro/archive");
        std::atomic<bool> killed = false;
        subscriber.OnMessage([&](const MqttSubscriber::Received&) {
            if (!killed.exchange(true))
                broker.Stop(SIGKILL);
        });
        first = PublishHistory(Request(broker), history);
        EXPECT_TRUE(killed);
    }
    // What the broker acknowledged is its to keep (this one died with it); the mark stands after
    // exactly that, and the next publish goes on from there.
    const auto kept = ReadPublishState(PublishStateFile(dir / "history.nvh")).state;
    ASSERT_TRUE(kept);
    const std::optional<CDateTime> last =
        first.archived ? std::optional(history[first.archived - 1].GetDateTime()) : std::nullopt;
    EXPECT_EQ(kept->delivered, last);
    EXPECT_EQ(first.pending, history.size() - first.archived);

    broker.Start();
    MqttSubscriber subscriber(broker.Port(), "nivaro/archive");
    const PublishReport second = PublishHistory(Request(broker), history);
    ASSERT_TRUE(second.ok) << second.error;
    const auto all = TimesOf(history);
    EXPECT_EQ(ArchiveTimes(subscriber.Sync()),
              std::vector<std::string>(all.begin() + first.archived, all.end()))
        << "the rest, in order, from where the broker stopped taking";
}

TEST_F(PublisherTest, AFullRingAsBacklog) {
    MosquittoBroker broker;
    MqttSubscriber subscriber(broker.Port(), "nivaro/archive");
    const auto history = Series(3300);
    const PublishReport report = PublishHistory(Request(broker), history);
    ASSERT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.archived, 3300u);
    EXPECT_EQ(ArchiveTimes(subscriber.Sync()), TimesOf(history));
}

TEST_F(PublisherTest, AWrongPasswordIsOneLineAndKeepsTheBacklog) {
    MosquittoBroker broker(MosquittoBroker::Login{"station", "right"});
    const auto history = Series(3);
    PublishRequest request = Request(broker);
    request.options.user = "station";
    request.options.passwordEnv = "NIVARO_TEST_MQTT_PASSWORD";
    ::setenv("NIVARO_TEST_MQTT_PASSWORD", "wrong", 1);
    PublishReport report = PublishHistory(request, history);
    EXPECT_FALSE(report.ok);
    EXPECT_NE(report.error.find("refused the login"), std::string::npos) << report.error;
    EXPECT_EQ(report.pending, 3u);

    ::setenv("NIVARO_TEST_MQTT_PASSWORD", "right", 1);
    report = PublishHistory(request, history);
    EXPECT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.archived, 3u) << "what the refused login did not send";

    ::setenv("NIVARO_TEST_MQTT_PASSWORD", "right", 1);
    request.options.user = "nobody";
    EXPECT_NE(PublishHistory(request, history).error.find("refused the login"), std::string::npos);
    EXPECT_NE(TestConnection(request.options, std::chrono::seconds(10)).find("refused the login"),
              std::string::npos);
    ::unsetenv("NIVARO_TEST_MQTT_PASSWORD");
}

TEST_F(PublisherTest, TlsWithTheBrokersAuthority) {
    MosquittoBroker broker(std::nullopt, true);
    PublishRequest request = Request(broker);
    ASSERT_TRUE(request.options.broker.starts_with("mqtts://"));
    request.options.caFile = broker.CaFile();
    const PublishReport report = PublishHistory(request, Series(2));
    EXPECT_TRUE(report.ok) << report.error;
    EXPECT_EQ(report.archived, 2u);

    // Another authority (the system's) does not vouch for a self-made certificate.
    request.options.caFile.clear();
    EXPECT_NE(TestConnection(request.options, std::chrono::seconds(10)), "");
    request.options.caFile = (dir / "missing.crt").string();
    EXPECT_NE(TestConnection(request.options, std::chrono::seconds(10)).find("missing.crt"),
              std::string::npos);
}

TEST_F(PublisherTest, TransmittersThatGoAreRemovedFromHomeAssistant) {
    MosquittoBroker broker;
    auto history = Series(2);
    PublishRequest request = Request(broker);
    request.transmitters = 3;
    ASSERT_TRUE(PublishHistory(request, history).ok);
    EXPECT_EQ(Retained(broker).size(), 2u + 8u);

    request.transmitters = 1;
    ASSERT_TRUE(PublishHistory(request, history).ok);
    const auto retained = Retained(broker);
    EXPECT_EQ(retained.size(), 2u + 4u);
    EXPECT_FALSE(retained.count("homeassistant/sensor/nivaro_0a1b2c3d4e5f/outdoor3_humidity/config"));
    EXPECT_EQ(retained.at("nivaro/state").find("outdoor2"), std::string::npos);
}

TEST_F(PublisherTest, TestConnectionSaysWhatHappened) {
    MosquittoBroker broker;
    MqttOptions options;
    options.broker = broker.Url();
    EXPECT_EQ(TestConnection(options, std::chrono::seconds(10)), "");
    EXPECT_EQ(Retained(broker).size(), 0u) << "a test publishes nothing";
    broker.Stop();
    EXPECT_NE(TestConnection(options, std::chrono::seconds(10)).find("cannot be reached"), std::string::npos);
    options.broker = "localhost";
    EXPECT_NE(TestConnection(options, std::chrono::seconds(10)).find("is not an mqtt://"), std::string::npos);
}
