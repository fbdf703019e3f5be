#pragma once

#include "platform/PortSettings.h"

#include <cstdint>
#include <termios.h>

// The line settings the station's adapter needs, applied to what the device had: raw 8N1 at the
// given rate, no flow control, reads that return at once, modem lines ignored as carrier
// (CLOCAL) and dropped by the kernel when the last descriptor closes (HUPCL), so that a program
// that dies cannot leave the bus held low.
void ConfigureStationLine(termios& settings, std::uint32_t baudRate);

// The line settings of a termios structure, as the settings log prints them.
PortSettings::Line LineSettingsOf(const termios& settings);
