#pragma once

#include <string>

// What a port name given by the user stands for.
struct PortTarget {
    enum class Kind { Device, Simulator };
    Kind kind = Kind::Device;
    std::string path; // device path, or the simulator's image file and settings (empty: none)
};

// "COMn" -> /dev/ttyS(n-1); "sim" -> simulator; "sim:FILE" -> simulator with an image file;
// settings may follow after a '?' ("sim?adapter=usb", "sim:FILE?adapter=usb") and stay in path;
// anything else is a device path used as it is.
PortTarget ResolvePortName(const std::string& name);
