#include "simulator/EepromImageFile.h"

#include "base/FileReplacement.h"

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
    // Written beside the image under a name of its own and renamed over it, as every whole file is.
    FileReplacement replacement(path);
    if (replacement.Started())
        replacement.Stream().write(reinterpret_cast<const char*>(bytes.data()),
                                   std::streamsize(bytes.size()));
    if (!replacement.Commit(false))
        throw std::runtime_error("Could not write EEPROM image " + path.string() + ": " +
                                 replacement.Reason());
}
