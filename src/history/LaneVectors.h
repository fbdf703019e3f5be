#pragma once

// Float and integer vectors of four or eight lanes as the compiler builds them, and the steps the
// statistics take with them. Each source file that includes this compiles it for its own
// instruction set into a copy of its own, hence the unnamed namespace.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

template <std::size_t Width> struct LaneVectors;
template <> struct LaneVectors<4> {
    using Float = float __attribute__((vector_size(16)));
    using Int = std::int32_t __attribute__((vector_size(16)));
    using UInt = std::uint32_t __attribute__((vector_size(16)));
};
template <> struct LaneVectors<8> {
    using Float = float __attribute__((vector_size(32)));
    using Int = std::int32_t __attribute__((vector_size(32)));
    using UInt = std::uint32_t __attribute__((vector_size(32)));
};

template <typename Vector, typename T> Vector LoadLanes(const T* from) {
    Vector v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

template <typename Int> bool AnyLaneSet(const Int& mask) {
    constexpr std::size_t Words = sizeof(Int) / 8;
    std::uint64_t words[Words];
    std::memcpy(words, &mask, sizeof words);
    std::uint64_t any = 0;
    for (std::uint64_t word : words)
        any |= word;
    return any != 0;
}

} // namespace
