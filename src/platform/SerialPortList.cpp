#include "platform/SerialPortList.h"

#include <algorithm>
#include <cctype>
#include <system_error>
#include <tuple>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A ttyS without a UART behind it fails to open (EIO) or to report its settings.
bool Answers(const std::filesystem::path& device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    termios settings{};
    const bool answers = ::tcgetattr(fd, &settings) == 0;
    ::close(fd);
    return answers;
}

// "ttyUSB10" after "ttyUSB9": the number at the end compares as a number.
bool NaturalLess(const std::string& a, const std::string& b) {
    const auto split = [](const std::string& s) {
        std::size_t digits = s.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(s[digits - 1])))
            --digits;
        const std::string number = s.substr(digits);
        return std::make_tuple(s.substr(0, digits), number.size(), number);
    };
    return split(a) < split(b);
}

std::vector<std::string> Matching(const std::filesystem::path& folder, const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0)
            names.push_back(entry.path().string());
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool BeginsIgnoringCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && EqualIgnoringCase(text.substr(0, prefix.size()), prefix);
}

} // namespace

std::vector<std::string> PresentSerialPorts(const std::filesystem::path& dev) {
    std::vector<std::string> ports;
    for (const std::string& uart : Matching(dev, "ttyS"))
        if (Answers(uart))
            ports.push_back(uart);
    for (const char* prefix : {"ttyUSB", "ttyACM"}) {
        const std::vector<std::string> adapters = Matching(dev, prefix);
        ports.insert(ports.end(), adapters.begin(), adapters.end());
    }
    const std::vector<std::string> stable = Matching(dev / "serial" / "by-id", "");
    ports.insert(ports.end(), stable.begin(), stable.end());
    return ports;
}

std::vector<std::string> PortChoices(const std::vector<std::string>& items,
                                     const std::vector<std::string>& present) {
    std::vector<std::string> choices = items;
    const auto add = [&](const std::string& name) {
        if (std::find(choices.begin(), choices.end(), name) == choices.end())
            choices.push_back(name);
    };
    for (const std::string& name : present)
        add(name);
    add("sim");
    return choices;
}

int FindPortItem(const std::vector<std::string>& items, const std::string& port) {
    const int count = static_cast<int>(items.size());
    for (int i = 0; i < count; ++i)
        if (EqualIgnoringCase(items[std::size_t(i)], port))
            return i;
    for (int n = 1; n <= count; ++n) {
        const int i = n % count;
        if (BeginsIgnoringCase(items[std::size_t(i)], port))
            return i;
    }
    return -1;
}
