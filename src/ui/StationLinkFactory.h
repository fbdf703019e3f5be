#pragma once

#include "ui/StationLink.h"

#include <memory>

// Minutes between the measurements the simulated base unit records by itself in the desktop
// program, so that a demo import always finds something new.
constexpr int DemoRecordingMinutes = 1;

// The desktop program's station link: the hardware manager on serial devices by name, and on the
// simulated station (real clock, demo data for a missing image, recording on its own) for "sim"
// and "sim:FILE".
std::unique_ptr<StationLink> MakeStationLink();
