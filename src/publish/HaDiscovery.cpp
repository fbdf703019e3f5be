#include "publish/HaDiscovery.h"

#include "history/ChartPoints.h"
#include "history/StatisticsText.h"
#include "publish/JsonText.h"

#include <random>

namespace {

std::string SensorName(const ChartQuantity& quantity) {
    std::string name = quantity.sensor == 0 ? "Indoor" : "Outdoor " + std::to_string(quantity.sensor);
    return name + (quantity.kind == ChartQuantity::Temperature ? " temperature" : " humidity");
}

std::string ConfigTopic(const DiscoverySetup& setup, const std::string& key) {
    return setup.discoveryPrefix + "/sensor/nivaro_" + setup.deviceId + "/" + key + "/config";
}

std::string SensorConfig(const DiscoverySetup& setup, const ChartQuantity& quantity) {
    const std::string key = QuantityKey(quantity);
    const bool temperature = quantity.kind == ChartQuantity::Temperature;
    JsonObject device;
    device.Array("identifiers", {"nivaro_" + setup.deviceId})
        .Text("name", "Nivaro weather station")
        .Text("manufacturer", "Nivaro")
        .Text("model", "Weather station")
        .Text("sw_version", setup.softwareVersion);
    JsonObject config;
    config.Text("name", SensorName(quantity))
        .Text("unique_id", "nivaro_" + setup.deviceId + "_" + key)
        .Text("state_topic", setup.topics.State())
        .Text("value_template", "{{ value_json." + key + " }}")
        .Text("device_class", temperature ? "temperature" : "humidity")
        .Text("state_class", "measurement")
        .Text("unit_of_measurement", temperature ? "°C" : "%")
        .Number("suggested_display_precision", temperature ? 1 : 0);
    if (const int expire = ExpireAfterSeconds(setup.importIntervalMinutes))
        config.Number("expire_after", expire);
    config.Text("availability_topic", setup.topics.Status())
        .Text("payload_available", StatusOnline)
        .Text("payload_not_available", StatusOffline)
        .Object("device", device);
    return config.Json();
}

} // namespace

int ExpireAfterSeconds(int importIntervalMinutes) {
    return importIntervalMinutes > 0 ? 2 * 60 * importIntervalMinutes : 0;
}

std::vector<MqttMessage> DiscoveryMessages(const DiscoverySetup& setup, int transmitters) {
    std::vector<MqttMessage> messages;
    for (int sensor = 0; sensor < CDataset::SensorCount; ++sensor)
        for (const auto kind : {ChartQuantity::Temperature, ChartQuantity::Humidity}) {
            const ChartQuantity quantity{kind, sensor};
            const bool present = sensor <= transmitters;
            messages.push_back({ConfigTopic(setup, QuantityKey(quantity)),
                                present ? SensorConfig(setup, quantity) : std::string(), 1, true});
        }
    return messages;
}

std::string NewDeviceId() {
    std::random_device random;
    std::uniform_int_distribution<int> digit(0, 15);
    std::string id;
    for (int i = 0; i < 12; ++i)
        id += "0123456789abcdef"[digit(random)];
    return id;
}
