#include "publish/HaDiscovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <set>

namespace {

DiscoverySetup GardenSetup() {
    return {"homeassistant", PublishTopics{"weather/garden"}, "0a1b2c3d4e5f", 60, "1.0.0"};
}

QJsonObject Parse(const std::string& payload) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(payload), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << payload;
    EXPECT_TRUE(document.isObject()) << payload;
    return document.object();
}

const MqttMessage* Find(const std::vector<MqttMessage>& messages, const std::string& topic) {
    for (const MqttMessage& m : messages)
        if (m.topic == topic)
            return &m;
    return nullptr;
}

} // namespace

// The MQTT sensor's documented schema: each key with the JSON type and value Home Assistant expects.
TEST(HaDiscovery, SensorConfigsFollowHomeAssistantsMqttSensorSchema) {
    struct Case {
        const char* quantity;
        const char* name;
        const char* deviceClass;
        const char* unit;
        int precision;
    };
    const Case cases[] = {
        {"indoor_temperature", "Indoor temperature", "temperature", "°C", 1},
        {"indoor_humidity", "Indoor humidity", "humidity", "%", 0},
        {"outdoor1_temperature", "Outdoor 1 temperature", "temperature", "°C", 1},
        {"outdoor2_humidity", "Outdoor 2 humidity", "humidity", "%", 0},
    };
    const auto messages = DiscoveryMessages(GardenSetup(), 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.quantity);
        const std::string topic =
            std::string("homeassistant/sensor/nivaro_0a1b2c3d4e5f/") + c.quantity + "/config";
        const MqttMessage* message = Find(messages, topic);
        ASSERT_NE(message, nullptr);
        EXPECT_TRUE(message->retain);
        EXPECT_EQ(message->qos, 1);
        const QJsonObject config = Parse(message->payload);

        const std::pair<const char*, QJsonValue> fields[] = {
            {"name", c.name},
            {"unique_id", QString("nivaro_0a1b2c3d4e5f_") + c.quantity},
            {"state_topic", "weather/garden/state"},
            {"value_template", QString("{{ value_json.") + c.quantity + " }}"},
            {"device_class", c.deviceClass},
            {"state_class", "measurement"},
            {"unit_of_measurement", QString::fromUtf8(c.unit)},
            {"suggested_display_precision", c.precision},
            {"expire_after", 7200},
            {"availability_topic", "weather/garden/status"},
            {"payload_available", "online"},
            {"payload_not_available", "offline"},
        };
        for (const auto& [key, expected] : fields)
            EXPECT_EQ(config.value(key), expected) << key;
        std::set<QString> known;
        for (const auto& field : fields)
            known.insert(field.first);
        known.insert("device");
        for (const QString& key : config.keys())
            EXPECT_TRUE(known.count(key)) << "unexpected key " << key.toStdString();

        const QJsonObject device = config.value("device").toObject();
        EXPECT_EQ(device.value("identifiers").toArray(), QJsonArray({"nivaro_0a1b2c3d4e5f"}));
        EXPECT_EQ(device.value("name"), QJsonValue("Nivaro weather station"));
        EXPECT_EQ(device.value("manufacturer"), QJsonValue("Nivaro"));
        EXPECT_TRUE(device.value("model").isString());
        EXPECT_EQ(device.value("sw_version"), QJsonValue("1.0.0"));
    }
}

TEST(HaDiscovery, TransmittersBeyondTheCountAreRemoved) {
    for (int transmitters = 0; transmitters <= 5; ++transmitters) {
        SCOPED_TRACE(transmitters);
        const auto messages = DiscoveryMessages(GardenSetup(), transmitters);
        ASSERT_EQ(messages.size(), 12u) << "every quantity the station can have";
        std::set<std::string> topics, uniqueIds;
        for (std::size_t i = 0; i < messages.size(); ++i) {
            const int sensor = static_cast<int>(i / 2);
            EXPECT_TRUE(messages[i].retain);
            topics.insert(messages[i].topic);
            if (sensor <= transmitters)
                uniqueIds.insert(Parse(messages[i].payload).value("unique_id").toString().toStdString());
            else
                EXPECT_EQ(messages[i].payload, "")
                    << messages[i].topic << ": an empty retained config removes it";
        }
        EXPECT_EQ(topics.size(), 12u);
        EXPECT_EQ(uniqueIds.size(), 2u * (transmitters + 1)) << "unique ids differ";
    }
}

TEST(HaDiscovery, TheSameInstallationAlwaysAnnouncesTheSame) {
    EXPECT_EQ(DiscoveryMessages(GardenSetup(), 3), DiscoveryMessages(GardenSetup(), 3))
        << "unique ids stay stable";
    DiscoverySetup other = GardenSetup();
    other.deviceId = "ffffffffffff";
    EXPECT_NE(DiscoveryMessages(other, 3)[0].topic, DiscoveryMessages(GardenSetup(), 3)[0].topic);
}

TEST(HaDiscovery, ExpiryFollowsTheImportInterval) {
    const std::pair<int, int> cases[] = {{60, 7200}, {15, 1800}, {1, 120}, {0, 0}, {-5, 0}};
    for (const auto& [minutes, seconds] : cases)
        EXPECT_EQ(ExpireAfterSeconds(minutes), seconds) << minutes;
    DiscoverySetup never = GardenSetup();
    never.importIntervalMinutes = 0;
    EXPECT_FALSE(Parse(DiscoveryMessages(never, 0)[0].payload).contains("expire_after"));
}

TEST(HaDiscovery, DeviceIdsAreNewTwelveHexDigits) {
    const std::string a = NewDeviceId(), b = NewDeviceId();
    EXPECT_EQ(a.size(), 12u);
    EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(a, b);
}
