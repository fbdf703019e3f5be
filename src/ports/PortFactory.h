#pragma once

#include "platform/SerialPort.h"
#include "simulator/BaseUnit.h"
#include "simulator/SimClock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

// Fills a fresh simulated EEPROM (demo data) when a simulator image file does not exist yet.
using SimulatorInitialImage = std::function<void(std::span<std::uint8_t>)>;

// How the simulated station behind "sim" and "sim:FILE" is set up. The layers above supply what
// only they know (the contents of a new image, what the base unit records).
struct SimulatorSetup {
    ClockMode clock = ClockMode::Real;
    SimulatorInitialImage initialImage; // empty: a new EEPROM stays erased
    // Simulator nanoseconds between the base unit's own recordings; 0 = it records nothing.
    SimClock::Nanos recordingInterval = 0;
    BaseUnit::RecordingHook record;
};

// The one place that turns a port name into a port (see ResolvePortName): a PosixSerialPort for a
// device, the simulated station for "sim" and "sim:FILE", set up as the caller asks.
std::unique_ptr<SerialPort> MakeSerialPort(const std::string& name, const SimulatorSetup& simulator = {});
