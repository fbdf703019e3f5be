#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

// A broken property is a finding: report it and abort so libFuzzer keeps the input.
#define FUZZ_CHECK(cond)                                                                                     \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "%s(%d): property '%s' broken\n", __FILE__, __LINE__, #cond);               \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

// A fresh folder under the system's temporary folder for one fuzz run, removed at exit.
inline std::filesystem::path MakeScratchFolder(const char* name) {
    static std::filesystem::path folder;
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(name) + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        std::abort();
    folder = pattern;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
    return folder;
}

// Puts the input into a file, replacing what was there.
inline void WriteInputFile(const std::filesystem::path& file, std::string_view input) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(input.data(), static_cast<std::streamsize>(input.size()));
}
