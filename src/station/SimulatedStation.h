#pragma once

#include "link/I2CDriver.h"
#include "ports/PortFactory.h"
#include "simulator/SimClock.h"
#include "station/StationImage.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

// The simulated station as the programs use it: a SimulatedSerialPort for "sim" / "sim:FILE" whose
// EEPROM starts as demo data when there is no image yet, and whose base unit can record
// measurements on its own through the image builder.
struct SimulatedStationSetup {
    ClockMode clock = ClockMode::Virtual;
    // Minutes between the base unit's own recordings; 0 = it records nothing by itself, so the
    // station holds exactly what the image holds (command line).
    int recordingIntervalMinutes = 0;
    std::uint32_t seed = 1; // values of demo data and recordings
    // The wall clock a new demo image ends at; empty: the system clock.
    std::function<std::chrono::system_clock::time_point()> wallClock;
};

// Demo data for a new image: three transmitters, two days of 5-minute measurements, the newest
// one at `now` (local time, whole minutes).
StationImageSpec DemoStationSpec(std::chrono::system_clock::time_point now, std::uint32_t seed = 1);

// The station's clock reading of a wall time: local time, whole minutes.
CDateTime StationTimeOf(std::chrono::system_clock::time_point when);

// The base unit writes one measurement taken at `when` into its EEPROM. An EEPROM that has no
// valid transmitter count or no end marker is left alone (the base unit cannot record there);
// returns whether it recorded.
bool RecordMeasurement(std::span<std::uint8_t> eeprom, const CDateTime& when, std::uint32_t seed);

// The simulator behind "sim" and "sim:FILE" as the programs want it: demo data in a new image, and
// the base unit recording on the schedule asked for.
SimulatorSetup StationSimulatorSetup(const SimulatedStationSetup& setup);

// MakeSerialPort with the station simulator set up as asked.
std::unique_ptr<SerialPort> MakeStationPort(const std::string& name, const SimulatedStationSetup& setup);
CI2CDriver::PortFactory StationPortFactory(SimulatedStationSetup setup);
