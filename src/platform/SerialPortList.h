#pragma once

#include "platform/SystemRoots.h"

#include <filesystem>
#include <string>
#include <vector>

// The serial devices present, as the kernel lists them under /sys/class/tty: terminals backed by
// hardware, without the UART slots that have no UART and without the system console; then the
// stable names under dev/serial/by-id that do not lead to the console. Sorted by kind (ttyS,
// ttyUSB, ttyACM, others), then naturally by number. Reads names only: no device is opened.
std::vector<std::string> PresentSerialPorts(const std::filesystem::path& dev = "/dev",
                                            const SystemRoots& roots = {});

// The port a new installation starts with: the first USB serial adapter among the present ports
// (ttyUSB, then ttyACM), else none (empty), so that nothing is opened until the user chooses.
std::string DefaultSerialPort(const std::vector<std::string>& present);

// The port choices: the given items first, then every further name that is not among them yet,
// then "sim" if it is not there already.
std::vector<std::string> PortChoices(const std::vector<std::string>& items,
                                     const std::vector<std::string>& present);

// The position the port option selects in a list of ports: an item equal to it (ignoring letter
// case), else the first item that begins with it, searched from the second item on and wrapping
// around to the first; -1 when none does.
int FindPortItem(const std::vector<std::string>& items, const std::string& port);
