#include "platform/PortFactory.h"

#include "platform/PortName.h"
#include "platform/PosixSerialPort.h"
#include "simulator/SimulatedSerialPort.h"
#include "simulator/SimulatorTarget.h"

std::unique_ptr<SerialPort> MakeSerialPort(const std::string& name, ClockMode simulatorClock,
                                           SimulatorInitialImage initialImage) {
    const PortTarget target = ResolvePortName(name);
    if (target.kind == PortTarget::Kind::Simulator) {
        const SimulatorTarget simulator = ParseSimulatorTarget(target.path);
        auto port = std::make_unique<SimulatedSerialPort>(simulatorClock, simulator.imageFile,
                                                          std::move(initialImage));
        port->SetAdapter(simulator.adapter);
        return port;
    }
    return std::make_unique<PosixSerialPort>();
}
