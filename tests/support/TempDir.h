#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>

// A fresh directory under the system's temporary folder, removed with its contents at the end.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "nivaro-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Makes a directory the current one for a scope (the logger and the options use it).
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::filesystem::path& dir) : m_old(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~CurrentDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(m_old, ignored);
    }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    std::filesystem::path m_old;
};

// The bytes from offset to the end; none of a file that cannot be read.
inline std::string ReadFileFrom(const std::filesystem::path& path, std::uintmax_t offset) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::ostringstream bytes;
    if (in && in.peek() != std::char_traits<char>::eof())
        bytes << in.rdbuf(); // in one go, not a character at a time
    return std::move(bytes).str();
}

inline std::string ReadWholeFile(const std::filesystem::path& path) {
    return ReadFileFrom(path, 0);
}

inline void WriteWholeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
