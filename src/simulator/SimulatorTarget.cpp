#include "simulator/SimulatorTarget.h"

#include <optional>
#include <stdexcept>
#include <vector>

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = text.find(separator, begin);
        parts.push_back(text.substr(begin, end - begin));
        if (end == std::string::npos)
            return parts;
        begin = end + 1;
    }
}

std::string KnownAdapters() {
    std::string names;
    for (const AdapterProfile& profile : AdapterProfiles())
        names += (names.empty() ? "" : ", ") + profile.name;
    return names;
}

// "8ms", "500us", "0": a duration of at most ten seconds.
std::int64_t ParseDuration(const std::string& key, const std::string& value) {
    std::size_t digits = 0;
    while (digits < value.size() && value[digits] >= '0' && value[digits] <= '9')
        ++digits;
    const std::string unit = value.substr(digits);
    std::int64_t scale = 0;
    if (unit == "ms")
        scale = 1'000'000;
    else if (unit == "us")
        scale = 1'000;
    else if (unit.empty() && value == "0")
        scale = 1;
    if (digits == 0 || digits > 5 || scale == 0 ||
        std::stoll(value.substr(0, digits)) * scale > 10'000'000'000)
        throw std::invalid_argument("simulator setting '" + key +
                                    "' wants a duration such as 8ms or 500us, not '" + value + "'");
    return std::stoll(value.substr(0, digits)) * scale;
}

} // namespace

SimulatorTarget ParseSimulatorTarget(const std::string& text) {
    SimulatorTarget target;
    const std::size_t question = text.rfind('?');
    if (question == std::string::npos) {
        target.imageFile = text;
        return target;
    }
    const std::vector<std::string> settings = Split(text.substr(question + 1), '&');
    for (const std::string& setting : settings) {
        if (setting.find('=') == std::string::npos) {
            target.imageFile = text; // a file name with a question mark in it
            return target;
        }
    }
    target.imageFile = text.substr(0, question);
    // The adapter first: a lag set beside it belongs to it, wherever it stands.
    std::optional<std::int64_t> statusLag;
    for (const std::string& setting : settings) {
        const std::size_t equals = setting.find('=');
        const std::string key = setting.substr(0, equals);
        const std::string value = setting.substr(equals + 1);
        if (key == "adapter") {
            if (!FindAdapterProfile(value, target.adapter))
                throw std::invalid_argument("unknown simulated adapter '" + value +
                                            "' (known: " + KnownAdapters() + ")");
        } else if (key == "status-lag") {
            statusLag = ParseDuration(key, value);
        } else if (key == "seed") {
            if (value.empty() || value.size() > 9 ||
                value.find_first_not_of("0123456789") != std::string::npos)
                throw std::invalid_argument("simulator setting 'seed' wants a number, not '" + value + "'");
            target.seed = static_cast<std::uint32_t>(std::stoul(value));
        } else {
            throw std::invalid_argument("unknown simulator setting '" + key +
                                        "' (known: adapter, status-lag, seed)");
        }
    }
    if (statusLag)
        target.adapter.statusLagNanos = *statusLag;
    return target;
}
