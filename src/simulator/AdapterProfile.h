#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How a serial adapter between the PC and the station's bus behaves in time, modelled on what the
// kernel's drivers do. A line change is one request (a register write on a UART, a control
// transfer on USB). A status read (TIOCMGET) either asks the device (a UART register, or a USB
// control transfer that costs as much as a line change) or returns the status the driver cached
// from the device's last change notification, which shows a change only statusLagNanos late.
// Change notifications (TIOCMIWAIT) always come statusLagNanos after the edge.
struct AdapterProfile {
    std::string name;
    std::int64_t lineChangeNanos = 0; // one RTS or DTR change, before the line moves
    std::int64_t statusLagNanos = 0;  // from an edge to its notification (and its cached status)
    std::int64_t statusReadNanos = 0; // one status read
    bool cachedStatus = false;        // reads show only what was notified
};

// Changes cost nothing beyond the settle delay and are reported at once: fast, for the tests and
// the demo that are not about adapters. The default.
AdapterProfile IdealAdapter();
// A UART on the main board: 0.1 ms per line change, a status read is a register read (5 µs),
// changes reported by interrupt at once.
AdapterProfile NativeUartAdapter();
// A USB adapter in low-latency mode with a cached status: 1 ms per line change, changes seen 1 ms
// late.
AdapterProfile UsbAdapter();
// A slow USB adapter: 4 ms per line change, its cached status 16 ms late (the usual packet delay).
AdapterProfile SlowUsbAdapter();
// An adapter whose driver asks the device at every status read (ftdi_sio, cp210x): a read costs a
// control transfer (1 ms) and shows the level as it was when the request started; notifications
// come with the bulk-in packets, 16 ms late by the default latency timer.
AdapterProfile FtdiAdapter();
// An adapter whose driver caches the status from its interrupt endpoint (pl2303, ch341): a read is
// almost free but shows a change only after the notification lag, 4 ms by default.
AdapterProfile Pl2303Adapter();

// The seed of the simulator's own choices, such as the order in which two lines set by one request
// move, when none is given.
inline constexpr std::uint32_t DefaultSimulatorSeed = 1;

// All profiles, in the order above.
std::vector<AdapterProfile> AdapterProfiles();
// The profile of a name ("ideal", "native", "usb", "slow-usb", "ftdi", "pl2303"); false when
// there is none.
bool FindAdapterProfile(const std::string& name, AdapterProfile& profile);
