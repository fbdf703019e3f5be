#pragma once

#include <optional>
#include <string>

// Where the broker is: "mqtt://host[:port]" (port 1883) or "mqtts://host[:port]" (TLS, port 8883).
// An IPv6 address goes in brackets: "mqtt://[::1]:1883".
struct BrokerAddress {
    bool tls = false;
    std::string host;
    int port = 1883;
    bool operator==(const BrokerAddress&) const = default;
};

// The address, or the reason the text is none ("... is not an mqtt:// or mqtts:// address").
struct ParsedBroker {
    std::optional<BrokerAddress> address;
    std::string error;
};
ParsedBroker ParseBrokerAddress(const std::string& text);
