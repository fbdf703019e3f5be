#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

// A station EEPROM image on disk: exactly 32768 bytes, nothing else.
// Loads into bytes; false when the file does not exist. A file of another size, or one that
// cannot be read, raises std::runtime_error and is left as it is.
bool LoadEepromImage(const std::filesystem::path& path, std::span<std::uint8_t> bytes);

// Writes through a temporary file and a rename, so an interrupted save keeps the old image.
// Raises std::runtime_error on failure.
void SaveEepromImage(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
