#include "ui/StationLink.h"

#include "hw/Check.h"

FinishedRequest NoStationLink::TakeRequest() {
    Check(false) << "No request";
    return {};
}

void NoStationLink::AbortCurrent() {
    Check(false) << "No request";
}
