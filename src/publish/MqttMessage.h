#pragma once

#include <string>

// One message for the broker. An empty retained payload deletes what the topic retained.
struct MqttMessage {
    std::string topic;
    std::string payload;
    int qos = 1;
    bool retain = false;
    bool operator==(const MqttMessage&) const = default;
};
