#include "simulator/AdapterProfile.h"

namespace {

constexpr std::int64_t Micros = 1'000;
constexpr std::int64_t Millis = 1'000'000;

} // namespace

AdapterProfile IdealAdapter() {
    return {"ideal", 0, 0};
}

AdapterProfile NativeUartAdapter() {
    return {"native", 100 * Micros, 0};
}

AdapterProfile UsbAdapter() {
    return {"usb", 1 * Millis, 1 * Millis};
}

AdapterProfile SlowUsbAdapter() {
    return {"slow-usb", 4 * Millis, 16 * Millis};
}

std::vector<AdapterProfile> AdapterProfiles() {
    return {IdealAdapter(), NativeUartAdapter(), UsbAdapter(), SlowUsbAdapter()};
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
