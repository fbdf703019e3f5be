#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// The station's ring buffer as far as it has been read: bytes from the ring buffer's first
// address, each read from the station at most once. Bytes not read yet hold 0xFF.
class RingBufferImage {
public:
    // Fills into with the station's bytes at offset from the ring buffer's start; raises on failure.
    using Reader = std::function<void(unsigned offset, std::span<std::uint8_t> into)>;

    RingBufferImage(unsigned size, Reader reader);

    // Reads the bytes of [from, to) not read yet, one reader call per unread stretch.
    void Read(unsigned from, unsigned to);
    void ReadAll() { Read(0, Size()); }

    unsigned Size() const { return static_cast<unsigned>(m_bytes.size()); }
    bool Complete() const { return m_bytesRead == Size(); }
    unsigned BytesRead() const { return m_bytesRead; }
    std::span<const std::uint8_t> Bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
    std::vector<bool> m_known;
    unsigned m_bytesRead = 0;
    Reader m_reader;
};
