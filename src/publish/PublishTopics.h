#pragma once

#include <string>

// The topics under the prefix (option MqttTopicPrefix, "nivaro" by default).
struct PublishTopics {
    std::string prefix;
    std::string State() const { return prefix + "/state"; }
    std::string Archive() const { return prefix + "/archive"; }
    std::string Status() const { return prefix + "/status"; }
};

inline constexpr const char* StatusOnline = "online";
inline constexpr const char* StatusOffline = "offline";
