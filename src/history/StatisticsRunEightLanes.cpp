// The quick pass with eight lanes at a time. Only this file's own code is built for AVX2, so that
// nothing a processor without it may run (an inline function of another header, say) uses it.
#include "history/StatisticsRun.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "history/StatisticsRunLanes.h"

bool AddQuickRunEightLanes(LaneFigures& figures, std::span<const CDataset> run) {
    const bool first = QuickLanes<0, 8>::Add(figures, run);
    const bool second = QuickLanes<8, 4>::Add(figures, run);
    return first || second;
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

bool EightLanesAvailable() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

#else

bool AddQuickRunEightLanes(LaneFigures& figures, std::span<const CDataset> run) {
    return AddQuickRunFourLanes(figures, run);
}

bool EightLanesAvailable() {
    return false;
}

#endif
