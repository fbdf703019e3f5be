#include "publish/BrokerAddress.h"

#include <charconv>

namespace {

ParsedBroker Failed(const std::string& text, const std::string& why) {
    return {std::nullopt, "broker \"" + text + "\" " + why};
}

} // namespace

ParsedBroker ParseBrokerAddress(const std::string& text) {
    BrokerAddress address;
    std::string rest;
    if (text.starts_with("mqtt://"))
        rest = text.substr(7);
    else if (text.starts_with("mqtts://")) {
        rest = text.substr(8);
        address.tls = true;
        address.port = 8883;
    } else
        return Failed(text, "is not an mqtt:// or mqtts:// address");
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();

    std::string port;
    if (rest.starts_with("[")) {
        const auto close = rest.find(']');
        if (close == std::string::npos)
            return Failed(text, "has no closing bracket after its IPv6 address");
        address.host = rest.substr(1, close - 1);
        const std::string after = rest.substr(close + 1);
        if (!after.empty() && !after.starts_with(":"))
            return Failed(text, "has something after its address that is not a port");
        port = after.empty() ? "" : after.substr(1);
        if (after == ":")
            return Failed(text, "has an empty port");
    } else {
        const auto colon = rest.find(':');
        address.host = rest.substr(0, colon);
        if (colon != std::string::npos) {
            port = rest.substr(colon + 1);
            if (port.empty())
                return Failed(text, "has an empty port");
        }
    }
    if (address.host.empty())
        return Failed(text, "names no host");
    if (address.host.find_first_of("/@? ") != std::string::npos)
        return Failed(text, "has a path, a login or a blank in its host; give the user in the options");
    if (!port.empty()) {
        int number = 0;
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
        if (error != std::errc() || end != port.data() + port.size() || number < 1 || number > 65535)
            return Failed(text, "has a port that is not a number from 1 to 65535");
        address.port = number;
    }
    return {address, ""};
}
