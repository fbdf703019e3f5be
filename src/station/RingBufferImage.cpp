#include "station/RingBufferImage.h"

#include <algorithm>

RingBufferImage::RingBufferImage(unsigned size, Reader reader)
    : m_bytes(size, 0xFF), m_known(size, false), m_reader(std::move(reader)) {}

void RingBufferImage::Read(unsigned from, unsigned to) {
    to = std::min(to, Size());
    unsigned at = from;
    while (at < to) {
        if (m_known[at]) {
            ++at;
            continue;
        }
        unsigned end = at;
        while (end < to && !m_known[end])
            ++end;
        m_reader(at, std::span<std::uint8_t>(m_bytes).subspan(at, end - at));
        std::fill(m_known.begin() + at, m_known.begin() + end, true);
        m_bytesRead += end - at;
        at = end;
    }
}
