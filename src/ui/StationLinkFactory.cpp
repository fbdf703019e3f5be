#include "ui/StationLinkFactory.h"

std::unique_ptr<StationLink> MakeStationLink() {
    return std::make_unique<NoStationLink>();
}
