#pragma once

#include "link/I2CDriver.h"
#include "simulator/SimulatedSerialPort.h"

#include <memory>

// The driver on a simulated station in virtual time, the bus free (base unit silent).
struct SimulatedStation {
    std::shared_ptr<SimulatedSerialPort> port = std::make_shared<SimulatedSerialPort>(ClockMode::Virtual);
    CI2CDriver driver{port};

    SimulatedStation() {
        port->baseUnit().SetSilent(port->now());
        for (std::size_t i = 0; i < Eeprom::Size; ++i)
            port->eeprom().bytes()[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
        driver.Open("sim", 300, 0xA0, false);
    }
    std::uint8_t At(std::size_t address) const { return port->eeprom().bytes()[address]; }
};
