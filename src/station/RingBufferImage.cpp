#include "station/RingBufferImage.h"

#include <algorithm>

RingBufferImage::RingBufferImage(unsigned size, Reader reader)
    : _bytes(size, 0xFF), _known(size, false), _reader(std::move(reader)) {}

void RingBufferImage::Read(unsigned from, unsigned to) {
    to = std::min(to, Size());
    unsigned at = from;
    while (at < to) {
        if (_known[at]) {
            ++at;
            continue;
        }
        unsigned end = at;
        while (end < to && !_known[end])
            ++end;
        _reader(at, std::span<std::uint8_t>(_bytes).subspan(at, end - at));
        std::fill(_known.begin() + at, _known.begin() + end, true);
        _bytesRead += end - at;
        at = end;
    }
}
