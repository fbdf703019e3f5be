#include "simulator/EepromImageFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <system_error>

namespace {

std::string SystemText() {
    return std::strerror(errno);
}

} // namespace

bool LoadEepromImage(const std::filesystem::path& path, std::span<std::uint8_t> bytes) {
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return false;
    const auto size = std::filesystem::file_size(path, error);
    if (error)
        throw std::runtime_error("Could not read EEPROM image " + path.string() + ": " + error.message());
    if (size != bytes.size())
        throw std::runtime_error("EEPROM image " + path.string() + " has " + std::to_string(size) +
                                 " bytes, expected " + std::to_string(bytes.size()) +
                                 "; the file is left unchanged");
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        throw std::runtime_error("Could not read EEPROM image " + path.string() + ": " + SystemText());
    const std::size_t read = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    if (read != bytes.size())
        throw std::runtime_error("Could not read EEPROM image " + path.string() + ": short read");
    return true;
}

void SaveEepromImage(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    const std::filesystem::path temporary = path.string() + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        throw std::runtime_error("Could not write EEPROM image " + path.string() + ": " + SystemText());
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    std::error_code error;
    if (!written || !closed) {
        std::filesystem::remove(temporary, error);
        throw std::runtime_error("Could not write EEPROM image " + path.string());
    }
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        throw std::runtime_error("Could not write EEPROM image " + path.string() + ": " + error.message());
    }
}
