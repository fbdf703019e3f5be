#include "platform/SerialPortList.h"

#include "platform/SystemConsole.h"
#include "platform/TtySysfs.h"

#include <algorithm>
#include <cctype>
#include <system_error>
#include <tuple>

namespace {

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

// Kinds in the order they are offered: built-in UARTs, USB adapters, USB modems, the rest.
int KindRank(const std::string& name) {
    for (const auto& [prefix, rank] : {std::pair{"ttyS", 0}, std::pair{"ttyUSB", 1}, std::pair{"ttyACM", 2}})
        if (name.rfind(prefix, 0) == 0 && name.size() > std::string(prefix).size() &&
            std::isdigit(static_cast<unsigned char>(name[std::string(prefix).size()])))
            return rank;
    return 3;
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

std::vector<std::string> PresentSerialPorts(const std::filesystem::path& dev, const SystemRoots& roots) {
    const ConsoleList consoles = ActiveConsoles(roots);
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(roots.sys / "class" / "tty", error)) {
        const std::string name = entry.path().filename().string();
        const TtyInfo info = ReadTtyInfo(name, roots);
        if (!info.hasDevice || info.noUart || consoles.names.count(name) != 0)
            continue;
        const std::filesystem::path node = dev / name;
        if (!std::filesystem::exists(node, error) || IsSystemConsole(node.string(), consoles))
            continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        if (KindRank(a) != KindRank(b))
            return KindRank(a) < KindRank(b);
        return NaturalLess(a, b);
    });
    std::vector<std::string> ports;
    for (const std::string& name : names)
        ports.push_back((dev / name).string());

    std::vector<std::string> stable;
    for (const auto& entry : std::filesystem::directory_iterator(dev / "serial" / "by-id", error))
        if (!IsSystemConsole(entry.path().string(), consoles))
            stable.push_back(entry.path().string());
    std::sort(stable.begin(), stable.end(), NaturalLess);
    ports.insert(ports.end(), stable.begin(), stable.end());
    return ports;
}

std::string DefaultSerialPort(const std::vector<std::string>& present) {
    for (const char* kind : {"ttyUSB", "ttyACM"})
        for (const std::string& port : present)
            if (std::filesystem::path(port).filename().string().starts_with(kind))
                return port;
    return {};
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
