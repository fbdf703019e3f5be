#include "settings/Options.h"

#include "TempDir.h"

#include <gtest/gtest.h>

TEST(MqttOptions, StayOutOfTheFileUntilSetUpThenRoundTrip) {
    TempDir dir;
    const auto file = dir / "Nivaro.xml";
    {
        COptionsImpl options(file, dir.path());
        EXPECT_EQ(options.GetMqtt(), MqttOptions{}) << "off by default";
        EXPECT_FALSE(options.GetMqtt().Enabled());
        ASSERT_TRUE(options.SaveOptions());
        EXPECT_EQ(ReadWholeFile(file).find("Mqtt"), std::string::npos)
            << "a default file keeps its ten elements";
    }
    MqttOptions set;
    set.broker = "mqtts://broker.local:8883";
    set.topicPrefix = "weather";
    set.discovery = false;
    set.discoveryPrefix = "ha";
    set.caFile = "/etc/ssl/ca.pem";
    set.user = "station";
    set.passwordFile = "/home/me/.nivaro-mqtt";
    set.passwordEnv = "NIVARO_MQTT_PASSWORD";
    set.deviceId = "0a1b2c3d4e5f";
    set.importIntervalMinutes = 15;
    {
        COptionsImpl options(file, dir.path());
        options.SetMqtt(set);
        ASSERT_TRUE(options.SaveOptions());
    }
    {
        COptionsImpl options(file, dir.path());
        EXPECT_EQ(options.GetMqtt(), set);
        // Switched off again: the empty broker is written, not left at its old value.
        MqttOptions off = set;
        off.broker.clear();
        off.deviceId.clear();
        options.SetMqtt(off);
        ASSERT_TRUE(options.SaveOptions());
    }
    COptionsImpl options(file, dir.path());
    EXPECT_EQ(options.GetMqtt().broker, "");
    EXPECT_EQ(options.GetMqtt().topicPrefix, "weather");
}
