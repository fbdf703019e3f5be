#pragma once

#include "settings/Options.h"
#include "station/Dataset.h"
#include "station/TransmitterCountSink.h"

// The options as the layers below take them: as values and sinks, never as globals.

// The column format (date-time pattern and temperature unit) the options ask for now.
ColumnFormat ColumnFormatOf(const COptionsImpl& options);
inline ColumnFormat CurrentColumnFormat() {
    return ColumnFormatOf(Options());
}

// A sink for the ping that keeps the transmitter count in the options.
TransmitterCountSink TransmitterCountOption(COptionsImpl& options);
