#pragma once

#include "station/DateTime.h"

#include <optional>
#include <string>

// "2005-01-17T14:35", "2005-01-17 14:35:00" or "2005-01-17" (midnight); nothing for any other text
// or an impossible date.
std::optional<CDateTime> ParseIsoDateTime(const std::string& text);
