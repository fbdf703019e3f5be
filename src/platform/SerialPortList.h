#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The serial devices present under a /dev folder: the ttyS ports that answer (a driver lists
// ttyS0 to ttyS31 whether a UART is there or not), every ttyUSB and ttyACM adapter, and the
// stable names under serial/by-id. Sorted by kind, then naturally by number.
std::vector<std::string> PresentSerialPorts(const std::filesystem::path& dev = "/dev");

// The port choices: the given items first, then every further name that is not among them yet,
// then "sim" if it is not there already.
std::vector<std::string> PortChoices(const std::vector<std::string>& items,
                                     const std::vector<std::string>& present);

// The position the port option selects in a list of ports: an item equal to it (ignoring letter
// case), else the first item that begins with it, searched from the second item on and wrapping
// around to the first; -1 when none does.
int FindPortItem(const std::vector<std::string>& items, const std::string& port);
