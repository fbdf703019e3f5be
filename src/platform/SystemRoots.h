#pragma once

#include <filesystem>

// Where the kernel's information folders are; tests point them at a small copy.
struct SystemRoots {
    std::filesystem::path sys = "/sys";
    std::filesystem::path proc = "/proc";
};
