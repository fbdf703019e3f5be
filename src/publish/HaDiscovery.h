#pragma once

#include "publish/MqttMessage.h"
#include "publish/PublishTopics.h"

#include <string>
#include <vector>

// What Home Assistant's MQTT discovery needs to know of this installation.
struct DiscoverySetup {
    std::string discoveryPrefix = "homeassistant";
    PublishTopics topics{"nivaro"};
    std::string deviceId; // stable, kept in the options
    int importIntervalMinutes = 60;
    std::string softwareVersion;
};

// One retained sensor config per quantity present (indoor and outdoor transmitters
// 1..transmitters), grouped as one device, reading its value from the state topic; and an empty
// retained payload for the transmitters beyond the count, so that those Home Assistant removes.
// Topic: <discovery prefix>/sensor/nivaro_<device id>/<quantity>/config.
std::vector<MqttMessage> DiscoveryMessages(const DiscoverySetup& setup, int transmitters);

// Seconds after which Home Assistant shows a sensor "unavailable" without news: two import
// intervals, so one late or missed import does not; 0 (never) when no interval is set.
int ExpireAfterSeconds(int importIntervalMinutes);

// A device id for a new installation: 12 random hexadecimal digits.
std::string NewDeviceId();
