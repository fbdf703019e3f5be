#include "base/HugePages.h"

#include <cstdint>

#include <sys/mman.h>

void PreferHugePages(const void* data, std::size_t bytes) {
    constexpr std::uintptr_t HugePage = std::uintptr_t(2) << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + HugePage - 1) & ~(HugePage - 1);
    const std::uintptr_t end = (begin + bytes) & ~(HugePage - 1);
    if (end > first)
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}
