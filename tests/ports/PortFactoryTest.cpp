// The one place that turns a port name into a port.
#include "ports/PortFactory.h"
#include "platform/PosixSerialPort.h"
#include "simulator/SimulatedSerialPort.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(PortFactory, MakesTheSimulatorForSimNames) {
    SimulatorSetup setup;
    setup.clock = ClockMode::Virtual;
    auto port = MakeSerialPort("sim", setup);
    auto* simulated = dynamic_cast<SimulatedSerialPort*>(port.get());
    ASSERT_NE(simulated, nullptr);
    EXPECT_TRUE(simulated->clock().isVirtual());
    EXPECT_EQ(simulated->Adapter().name, "ideal");
    auto usb = MakeSerialPort("sim:station.bin?adapter=usb", setup);
    EXPECT_EQ(dynamic_cast<SimulatedSerialPort&>(*usb).Adapter().name, "usb");
    EXPECT_THROW(MakeSerialPort("sim?adapter=rs485", setup), std::invalid_argument);
    EXPECT_NE(dynamic_cast<PosixSerialPort*>(MakeSerialPort("COM1").get()), nullptr);
}
