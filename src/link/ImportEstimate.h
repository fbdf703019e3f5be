#pragma once

#include "link/I2CDriver.h"

#include <cstdint>
#include <string>

// What an import costs on the bus, counted on the simulated station (a full ring buffer of four
// transmitters; the routine import finds 12 new datasets), and what it takes on an adapter.
struct ImportWork {
    std::uint64_t lineChanges = 0;
    std::uint64_t statusReads = 0;
};
ImportWork WholeImportWork();
ImportWork RoutineImportWork();

// Seconds an import takes on an adapter: every line change at its cost, every status read at its
// cost after waiting for our last change to show, and one synchronisation.
double EstimatedImportSeconds(const ImportWork& work, const CI2CDriver::AdapterTiming& timing);

// "about 2.5 s", "about 40 s", "about 33 min", "about 2.1 h".
std::string DurationText(double seconds);
