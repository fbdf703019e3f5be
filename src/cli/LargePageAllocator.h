#pragma once

#include "base/HugePages.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <new>

// An allocator for large arrays that are filled once and kept (the summaries of a long history):
// the system is asked to back them with large pages, so that filling one costs a page fault per
// 2 MiB rather than one per 4 KiB page, and on a virtual machine every fault is dear. Where large
// pages are not to be had, the memory is the same as any other.
template <typename T> class LargePageAllocator {
public:
    using value_type = T;
    static constexpr std::size_t LargePage = std::size_t(2) << 20;

    LargePageAllocator() = default;
    template <typename U> LargePageAllocator(const LargePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) {
        const std::size_t bytes =
            (std::max<std::size_t>(count * sizeof(T), 1) + LargePage - 1) / LargePage * LargePage;
        void* memory = std::aligned_alloc(LargePage, bytes);
        if (memory == nullptr)
            throw std::bad_alloc();
        PreferHugePages(memory, bytes);
        return static_cast<T*>(memory);
    }
    void deallocate(T* memory, std::size_t) noexcept { std::free(memory); }

    template <typename U> bool operator==(const LargePageAllocator<U>&) const noexcept { return true; }
};
