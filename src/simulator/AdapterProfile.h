#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How a serial adapter between the PC and the station's bus behaves in time. The kernel raises
// RTS and DTR at every open whatever the adapter; what differs is the cost of one modem-line change
// (a register write on a UART, one control transfer on USB) and how late a change of the modem
// inputs is reported (USB adapters report them in packets on their own schedule).
struct AdapterProfile {
    std::string name;
    std::int64_t lineChangeNanos = 0; // one RTS or DTR change, before the line moves
    std::int64_t statusLagNanos = 0;  // from a DSR edge to its report as a change
};

// Changes cost nothing beyond the settle delay and are reported at once: fast, for the tests and
// the demo that are not about adapters. The default.
AdapterProfile IdealAdapter();
// A UART on the main board: 0.1 ms per line change, changes reported by interrupt at once.
AdapterProfile NativeUartAdapter();
// A USB serial adapter in low-latency mode: 1 ms per line change, changes reported 1 ms late.
AdapterProfile UsbAdapter();
// A slow USB adapter: 4 ms per line change, changes reported with the usual 16 ms packet delay.
AdapterProfile SlowUsbAdapter();

// All profiles, in the order above.
std::vector<AdapterProfile> AdapterProfiles();
// The profile of a name ("ideal", "native", "usb", "slow-usb"); false when there is none.
bool FindAdapterProfile(const std::string& name, AdapterProfile& profile);
