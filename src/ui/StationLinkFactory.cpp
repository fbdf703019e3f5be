#include "ui/StationLinkFactory.h"

#include "station/SimulatedStation.h"
#include "ui/HWManagerLink.h"

std::unique_ptr<StationLink> MakeStationLink() {
    SimulatedStationSetup setup;
    setup.clock = ClockMode::Real;
    setup.recordingIntervalMinutes = DemoRecordingMinutes;
    return std::make_unique<CHWManagerLink>(StationPortFactory(setup));
}
