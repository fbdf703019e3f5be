#include "ports/PortFactory.h"

#include "platform/PortName.h"
#include "platform/PosixSerialPort.h"
#include "simulator/SimulatedSerialPort.h"
#include "simulator/SimulatorTarget.h"

std::unique_ptr<SerialPort> MakeSerialPort(const std::string& name, const SimulatorSetup& simulator) {
    const PortTarget target = ResolvePortName(name);
    if (target.kind != PortTarget::Kind::Simulator)
        return std::make_unique<PosixSerialPort>();
    const SimulatorTarget settings = ParseSimulatorTarget(target.path);
    auto port =
        std::make_unique<SimulatedSerialPort>(simulator.clock, settings.imageFile, simulator.initialImage);
    port->SetAdapter(settings.adapter);
    port->SetSeed(settings.seed);
    if (simulator.recordingInterval > 0 && simulator.record)
        port->baseUnit().SetRecording(simulator.recordingInterval, simulator.record, port->now());
    return port;
}
