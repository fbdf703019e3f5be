#pragma once

#include <string>

// What publishing to an MQTT broker is set to. An empty broker publishes nothing. The password is
// never kept here: only the file or the environment variable that holds it.
struct MqttOptions {
    std::string broker;                 // "mqtt://host[:port]" or "mqtts://host[:port]"
    std::string topicPrefix = "nivaro"; // <prefix>/state, /archive, /status
    bool discovery = true;              // Home Assistant discovery configs
    std::string discoveryPrefix = "homeassistant";
    std::string caFile; // mqtts: the certificate authority to trust
    std::string user;
    std::string passwordFile;       // readable only by its owner
    std::string passwordEnv;        // or the name of an environment variable
    std::string deviceId;           // made once, then kept: Home Assistant's unique ids
    int importIntervalMinutes = 60; // the sensors expire after two intervals without news

    bool Enabled() const { return !broker.empty(); }
    bool operator==(const MqttOptions&) const = default;
};
