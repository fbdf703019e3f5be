#pragma once

#include "ui/StationLink.h"

#include <memory>

// The station link the program runs with: the hardware manager when it is built in.
std::unique_ptr<StationLink> MakeStationLink();
