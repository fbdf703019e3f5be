#pragma once

#include "platform/SystemRoots.h"

#include <string>

// What the kernel tells about a terminal in /sys/class/tty/<name>, read without opening it.
struct TtyInfo {
    bool hasDevice = false; // backed by hardware (not a virtual console or pseudo-terminal)
    std::string driver;     // e.g. "serial8250", "ftdi_sio", "cdc_acm"; empty when unknown
    bool usb = false;       // behind a USB device
    bool noUart = false;    // a serial port slot the kernel keeps with no UART behind it
};

TtyInfo ReadTtyInfo(const std::string& ttyName, const SystemRoots& roots = {});
