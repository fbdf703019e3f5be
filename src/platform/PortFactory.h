#pragma once

#include "platform/SerialPort.h"
#include "simulator/SimClock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

// Fills a fresh simulated EEPROM (demo data) when a simulator image file does not exist yet.
using SimulatorInitialImage = std::function<void(std::span<std::uint8_t>)>;

// The port for a name (see ResolvePortName): a PosixSerialPort for a device, the simulated
// station for "sim" and "sim:FILE", running on the clock the caller chooses.
std::unique_ptr<SerialPort> MakeSerialPort(const std::string& name,
                                           ClockMode simulatorClock = ClockMode::Real,
                                           SimulatorInitialImage initialImage = {});
