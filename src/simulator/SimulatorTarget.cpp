#include "simulator/SimulatorTarget.h"

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
    for (const std::string& setting : settings) {
        const std::size_t equals = setting.find('=');
        const std::string key = setting.substr(0, equals);
        const std::string value = setting.substr(equals + 1);
        if (key != "adapter")
            throw std::invalid_argument("unknown simulator setting '" + key + "' (known: adapter)");
        if (!FindAdapterProfile(value, target.adapter))
            throw std::invalid_argument("unknown simulated adapter '" + value +
                                        "' (known: " + KnownAdapters() + ")");
    }
    return target;
}
