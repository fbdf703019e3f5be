#include "ui/StationLinkFactory.h"

#include "platform/PortFactory.h"
#include "ui/HWManagerLink.h"

// TODO(merge): the simulated station with demo data and recording once it is on main.
std::unique_ptr<StationLink> MakeStationLink() {
    return std::make_unique<CHWManagerLink>(
        [](const std::string& name) { return MakeSerialPort(name, ClockMode::Real); });
}
