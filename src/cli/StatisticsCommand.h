#pragma once

#include "history/Statistics.h"

#include <string>

class CliSession;

struct StatsArgs {
    PeriodKind by = PeriodKind::Day;
    std::string from, to; // empty: open end
    std::string format = "text";
};

// Minimum, maximum and mean of every quantity per period of the history file, on stdout: an
// aligned table in the options' formats and unit, or comma-separated text with fixed names.
// A date without a time of day takes in that whole day at either end.
int RunStats(CliSession& session, const StatsArgs& args);
