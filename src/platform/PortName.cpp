#include "platform/PortName.h"

#include <cctype>

PortTarget ResolvePortName(const std::string& name) {
    if (name == "sim")
        return {PortTarget::Kind::Simulator, {}};
    if (name.rfind("sim?", 0) == 0)
        return {PortTarget::Kind::Simulator, name.substr(3)};
    if (name.rfind("sim:", 0) == 0)
        return {PortTarget::Kind::Simulator, name.substr(4)};
    const bool com = name.size() > 3 && (name[0] == 'C' || name[0] == 'c') &&
                     (name[1] == 'O' || name[1] == 'o') && (name[2] == 'M' || name[2] == 'm');
    if (com && name.size() <= 6) {
        int number = 0;
        bool digits = true;
        for (std::size_t i = 3; i < name.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(name[i])))
                digits = false;
            else
                number = number * 10 + (name[i] - '0');
        }
        if (digits && number >= 1)
            return {PortTarget::Kind::Device, "/dev/ttyS" + std::to_string(number - 1)};
    }
    return {PortTarget::Kind::Device, name};
}
