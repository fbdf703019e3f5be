#include "publish/BrokerAddress.h"

#include <gtest/gtest.h>

TEST(BrokerAddress, ParsesWhatUsersWrite) {
    struct Case {
        const char* text;
        std::optional<BrokerAddress> address;
        const char* error;
    };
    const Case cases[] = {
        {"mqtt://broker.local", BrokerAddress{false, "broker.local", 1883}, ""},
        {"mqtt://192.168.1.5:1884", BrokerAddress{false, "192.168.1.5", 1884}, ""},
        {"mqtts://broker", BrokerAddress{true, "broker", 8883}, ""},
        {"mqtts://broker:443/", BrokerAddress{true, "broker", 443}, ""},
        {"mqtt://[::1]:1883", BrokerAddress{false, "::1", 1883}, ""},
        {"mqtt://[fe80::1]", BrokerAddress{false, "fe80::1", 1883}, ""},
        {"broker:1883", std::nullopt, "is not an mqtt:// or mqtts:// address"},
        {"http://broker", std::nullopt, "is not an mqtt:// or mqtts:// address"},
        {"mqtt://", std::nullopt, "names no host"},
        {"mqtt://broker:", std::nullopt, "has an empty port"},
        {"mqtt://broker:0", std::nullopt, "port that is not a number from 1 to 65535"},
        {"mqtt://broker:70000", std::nullopt, "port that is not a number from 1 to 65535"},
        {"mqtt://broker:18x3", std::nullopt, "port that is not a number from 1 to 65535"},
        {"mqtt://user:pw@broker", std::nullopt, "port that is not a number"},
        {"mqtt://me@broker", std::nullopt, "give the user in the options"},
        {"mqtt://broker/topic", std::nullopt, "has a path"},
        {"mqtt://[::1", std::nullopt, "no closing bracket"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ParsedBroker parsed = ParseBrokerAddress(c.text);
        EXPECT_EQ(parsed.address, c.address);
        if (c.address)
            EXPECT_EQ(parsed.error, "");
        else {
            EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
            EXPECT_NE(parsed.error.find(std::string("\"") + c.text + "\""), std::string::npos)
                << parsed.error;
        }
    }
}
