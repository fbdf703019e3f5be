#include "publish/PublishPlan.h"

#include <gtest/gtest.h>

namespace {

// Datasets every 5 minutes from 2026-12-08 10:00, indoor 20.0 °C and 40 %.
std::vector<CDataset> History(int count) {
    std::vector<CDataset> history;
    for (int i = 0; i < count; ++i) {
        CDataset d;
        d.SetDateTime(CDateTime(2026, 12, 8, 10 + i * 5 / 60, i * 5 % 60, 0));
        d.SetTemperature(0, 20.0f);
        d.SetHumidity(0, 40);
        history.push_back(d);
    }
    return history;
}

PublishInputs Inputs() {
    PublishInputs inputs;
    inputs.options.broker = "mqtt://localhost";
    inputs.options.deviceId = "abc";
    inputs.softwareVersion = "1.0.0";
    inputs.transmitters = 0;
    return inputs;
}

int Utc(const CDateTime&) {
    return 0;
}

struct Shape {
    std::size_t discovery = 0, archive = 0, state = 0;
    std::vector<std::string> archiveTimes;
};

Shape ShapeOf(const PublishPlan& plan) {
    Shape shape;
    EXPECT_FALSE(plan.messages.empty());
    if (plan.messages.empty())
        return shape;
    EXPECT_EQ(plan.messages.front(), (MqttMessage{"nivaro/status", "online", 1, true}))
        << "online comes first";
    for (const MqttMessage& m : plan.messages) {
        if (m.topic.starts_with("homeassistant/"))
            ++shape.discovery;
        if (m.topic == "nivaro/archive") {
            ++shape.archive;
            EXPECT_FALSE(m.retain);
            EXPECT_EQ(m.qos, 1);
            shape.archiveTimes.push_back(m.payload.substr(9, 16));
        }
        if (m.topic == "nivaro/state") {
            ++shape.state;
            EXPECT_TRUE(m.retain);
            EXPECT_EQ(&m, &plan.messages.back()) << "the state comes last";
        }
    }
    EXPECT_EQ(plan.archived, shape.archive);
    return shape;
}

} // namespace

TEST(PublishPlan, SendsWhatIsNewOldestFirstAndAnnouncesWhenDue) {
    const auto history = History(10);
    struct Case {
        const char* name;
        std::optional<PublishState> state;
        std::optional<CDateTime> firstDelivered;
        int transmitters;
        bool announce;
        std::size_t discovery, archive;
        const char* firstArchived;
    };
    const PublishState announcedAt7{history[6].GetDateTime(), 0};
    const Case cases[] = {
        {"first import into an empty history: everything", std::nullopt, std::nullopt, 0, false, 12, 10,
         "2026-12-08T10:00"},
        {"first publish on an older history: after the newest known before", std::nullopt,
         history[7].GetDateTime(), 0, false, 12, 2, "2026-12-08T10:40"},
        {"routine: after the delivered one, no discovery", announcedAt7, std::nullopt, 0, false, 0, 3,
         "2026-12-08T10:35"},
        {"the state file wins over the first mark", announcedAt7, history[0].GetDateTime(), 0, false, 0, 3,
         "2026-12-08T10:35"},
        {"asked to announce", announcedAt7, std::nullopt, 0, true, 12, 3, "2026-12-08T10:35"},
        {"transmitter count changed", announcedAt7, std::nullopt, 2, false, 12, 3, "2026-12-08T10:35"},
        {"all delivered: state only", PublishState{history[9].GetDateTime(), 0}, std::nullopt, 0, false, 0, 0,
         ""},
        {"never announced", PublishState{history[9].GetDateTime(), std::nullopt}, std::nullopt, 0, false, 12,
         0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PublishInputs inputs = Inputs();
        inputs.state = c.state;
        inputs.firstDelivered = c.firstDelivered;
        inputs.transmitters = c.transmitters;
        inputs.announce = c.announce;
        const PublishPlan plan = PlanPublish(inputs, history, Utc);
        const Shape shape = ShapeOf(plan);
        EXPECT_EQ(shape.discovery, c.discovery);
        EXPECT_EQ(shape.archive, c.archive);
        EXPECT_EQ(shape.state, 1u);
        if (c.archive) {
            EXPECT_EQ(shape.archiveTimes.front(), c.firstArchived);
            EXPECT_TRUE(std::is_sorted(shape.archiveTimes.begin(), shape.archiveTimes.end()));
            EXPECT_EQ(shape.archiveTimes.back(), "2026-12-08T10:45");
        }
        const PublishState done = plan.StateAfter(plan.messages.size());
        EXPECT_EQ(done.delivered, history.back().GetDateTime()) << "all delivered in the end";
        EXPECT_EQ(done.announcedTransmitters,
                  c.discovery ? std::optional<int>(c.transmitters) : c.state->announcedTransmitters);
    }
}

TEST(PublishPlan, APartialDeliveryKeepsTheMarkWhereTheBrokerStopped) {
    const auto history = History(5);
    PublishInputs inputs = Inputs();
    inputs.state = PublishState{std::nullopt, 0};
    inputs.transmitters = 1; // announces: 12 configs after the status
    const PublishPlan plan = PlanPublish(inputs, history, Utc);
    ASSERT_EQ(plan.messages.size(), 1u + 12u + 5u + 1u);
    EXPECT_EQ(plan.StateAfter(0), (PublishState{std::nullopt, 0}));
    EXPECT_EQ(plan.StateAfter(12).announcedTransmitters, 0) << "not announced before the last config";
    EXPECT_EQ(plan.StateAfter(13), (PublishState{std::nullopt, 1}));
    EXPECT_EQ(plan.StateAfter(15), (PublishState{history[1].GetDateTime(), 1})) << "two archived";
    EXPECT_EQ(plan.StateAfter(19), (PublishState{history[4].GetDateTime(), 1}));
}

TEST(PublishPlan, InvalidDatasetsAndAnEmptyHistory) {
    auto history = History(3);
    CDateTime invalid;
    invalid.SetStatus(CDateTime::invalid);
    history.back().SetDateTime(invalid);
    PublishInputs inputs = Inputs();
    inputs.state = PublishState{std::nullopt, 0};
    PublishPlan plan = PlanPublish(inputs, history, Utc);
    EXPECT_EQ(ShapeOf(plan).archive, 2u);
    EXPECT_NE(plan.messages.back().payload.find("10:05"), std::string::npos)
        << "the newest valid one is the state";

    plan = PlanPublish(inputs, {}, Utc);
    EXPECT_EQ(plan.messages.size(), 1u) << "only the status";
}

TEST(PublishPlan, DiscoveryOffSendsNoConfigs) {
    PublishInputs inputs = Inputs();
    inputs.options.discovery = false;
    inputs.announce = true;
    EXPECT_EQ(ShapeOf(PlanPublish(inputs, History(2), Utc)).discovery, 0u);
}

TEST(PublishedTransmitters, TheStationsCountElseWhatTheHistoryHolds) {
    auto history = History(2);
    history[1].SetTemperature(3, 5.0f);
    for (int s = 1; s < CDataset::SensorCount; ++s)
        if (s != 3) {
            history[0].SetTemperature(s, CDataset::TemperatureNotAvailable);
            history[1].SetTemperature(s, CDataset::TemperatureNotAvailable);
            history[0].SetHumidity(s, CDataset::HumidityNotAvailable);
            history[1].SetHumidity(s, CDataset::HumidityNotAvailable);
        }
    history[0].SetTemperature(3, CDataset::TemperatureNotAvailable);
    history[0].SetHumidity(3, CDataset::HumidityNotAvailable);
    history[1].SetHumidity(3, CDataset::HumidityNotAvailable);
    EXPECT_EQ(PublishedTransmitters(2, history), 2);
    EXPECT_EQ(PublishedTransmitters(0, history), 0);
    EXPECT_EQ(PublishedTransmitters(6, history), 3);
}
