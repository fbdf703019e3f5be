#pragma once

#include "simulator/AdapterProfile.h"

#include <filesystem>
#include <string>

// What follows "sim:" (or "sim") in a port name: an optional image file, then optional settings
// after a '?', e.g. "station.bin?adapter=usb", "?adapter=pl2303&status-lag=8ms" or "?seed=7" (the
// seed chooses, among other things, in which order two lines changed by one request move).
struct SimulatorTarget {
    std::filesystem::path imageFile; // empty: the EEPROM lives in memory only
    AdapterProfile adapter = IdealAdapter();
    std::uint32_t seed = DefaultSimulatorSeed;
};

// Raises std::invalid_argument naming the setting or adapter that is not known. A '?' that is
// not followed by name=value settings belongs to the file name.
SimulatorTarget ParseSimulatorTarget(const std::string& text);
