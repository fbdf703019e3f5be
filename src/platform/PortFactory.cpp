#include "platform/PortFactory.h"

#include "platform/PortName.h"
#include "platform/PosixSerialPort.h"
#include "simulator/SimulatedSerialPort.h"

std::unique_ptr<SerialPort> MakeSerialPort(const std::string& name, ClockMode simulatorClock,
                                           SimulatorInitialImage initialImage) {
    const PortTarget target = ResolvePortName(name);
    if (target.kind == PortTarget::Kind::Simulator)
        return std::make_unique<SimulatedSerialPort>(simulatorClock, target.path, std::move(initialImage));
    return std::make_unique<PosixSerialPort>();
}
