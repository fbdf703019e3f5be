#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The station image tools: EEPROM images as the base unit leaves them.
struct SimCreateArgs {
    std::string image;
    int transmitters = 0;
    int datasets = 0;
    std::string start; // ISO date-time; empty: the newest measurement is now
    int intervalMinutes = 5;
    std::uint32_t seed = 1;
    bool force = false; // replace an existing image
};
int RunSimCreate(const SimCreateArgs& args);

int RunSimInfo(const std::string& image);

struct SimAddArgs {
    std::string image;
    int datasets = 1;
    std::optional<int> intervalMinutes; // empty: the gap between the two newest datasets, else 5
    std::uint32_t seed = 1;
};
int RunSimAdd(const SimAddArgs& args);
