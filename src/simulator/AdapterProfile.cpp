#include "simulator/AdapterProfile.h"

namespace {

constexpr std::int64_t Micros = 1'000;
constexpr std::int64_t Millis = 1'000'000;

} // namespace

AdapterProfile IdealAdapter() {
    return {"ideal", 0, 0, 0, false};
}

AdapterProfile NativeUartAdapter() {
    return {"native", 100 * Micros, 0, 5 * Micros, false};
}

AdapterProfile UsbAdapter() {
    return {"usb", 1 * Millis, 1 * Millis, 10 * Micros, true};
}

AdapterProfile SlowUsbAdapter() {
    return {"slow-usb", 4 * Millis, 16 * Millis, 10 * Micros, true};
}

AdapterProfile FtdiAdapter() {
    return {"ftdi", 1 * Millis, 16 * Millis, 1 * Millis, false};
}

AdapterProfile Pl2303Adapter() {
    return {"pl2303", 1 * Millis, 4 * Millis, 10 * Micros, true};
}

std::vector<AdapterProfile> AdapterProfiles() {
    return {IdealAdapter(),   NativeUartAdapter(), UsbAdapter(),
            SlowUsbAdapter(), FtdiAdapter(),       Pl2303Adapter()};
}

bool FindAdapterProfile(const std::string& name, AdapterProfile& profile) {
    for (const AdapterProfile& candidate : AdapterProfiles()) {
        if (candidate.name == name) {
            profile = candidate;
            return true;
        }
    }
    return false;
}
