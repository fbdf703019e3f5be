#pragma once

#include "station/DateTime.h"
#include "station/ImportHandover.h"

#include <functional>
#include <optional>

class CMainFrame;

// Runs an import another program of this user handed over as the window's own: the same dialog
// and request with the pings paused, one attempt (a failure is answered, not tried again), then
// afterImport with the newest date-time recorded before (publishing). Refused when the program
// imports into another history file than the window records into.
HandoverResult RunHandedOverImport(CMainFrame& frame, const HandoverRequest& request,
                                   const std::function<void(const std::optional<CDateTime>&)>& afterImport);
