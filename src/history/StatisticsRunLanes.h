#pragma once

// The quick pass over a run of datasets in date-time order, for a given number of lanes at a time.
// Each source file that includes this compiles it for its own instruction set into a copy of its
// own, hence the unnamed namespace.

#include "history/LaneVectors.h"
#include "history/StatisticsRun.h"

#include <algorithm>
#include <bit>

namespace {

// How many datasets ahead of the ones being added the memory is asked for.
constexpr std::size_t Ahead = 256;

// Lanes [First, First + Width) of a run, taken in one pass with every running figure in a register.
template <std::size_t First, std::size_t Width> class QuickLanes {
    using Float = typename LaneVectors<Width>::Float;
    using Int = typename LaneVectors<Width>::Int;
    using UInt = typename LaneVectors<Width>::UInt;
    static_assert(First + Width <= StatisticsLanes);

    // The running figures over the run; the count is that of the values left out.
    struct Running {
        Float min, max;
        UInt shiftedSum;
        Int leftOut;
    };
    // The extremes after every Block datasets, so that a new extreme's dataset is looked for in
    // one block only.
    static constexpr std::size_t Block = 8;
    struct Snapshots {
        Float minAfter[MaxQuickRun / Block], maxAfter[MaxQuickRun / Block];
    };

    static Float Values(const CDataset& d) { return LoadLanes<Float>(d.Values() + First); }

    // Adds one dataset's values; returns the lanes too large for the pass.
    static Int AddValues(Running& running, const Float& v) {
        // The values are looked at as integers where that takes fewer steps: a float's magnitude
        // orders like the integer of its bits, NaNs above infinity, and a mark has one pattern.
        const Int bits = Int(v);
        // A NaN, an infinity or a value too large for the exact rounding below. No mark is.
        const Int large = (bits & 0x7fffffff) >= std::bit_cast<std::int32_t>(QuickLimit);
        Int leftOut = large | (bits == LoadLanes<Int>(&LaneNotAvailable[First])) |
                      (bits == LoadLanes<Int>(&LaneOverflow[First]));
#if defined(__x86_64__)
        // Seen as a plain integer, the mask is applied with one logical step each time below, not
        // with a blend, which takes three on some processors.
        asm("" : "+x"(leftOut));
#endif
        // Lanes left out are 0 before they are scaled and converted, so no conversion overflows.
        // With the shift, the rounded value is the low bits of the float; the shift's own bits
        // come off at the end.
        running.shiftedSum += UInt(Float(bits & ~leftOut) * 1e4f + QuickRoundingShift);
        running.leftOut -= leftOut;
        // Lanes left out become NaNs, which change no extreme: each comparison keeps the figure.
        const Float measured = Float(bits | leftOut);
        running.min = measured < running.min ? measured : running.min;
        running.max = measured > running.max ? measured : running.max;
        return large;
    }

    static void Finish(LaneFigures& figures, std::span<const CDataset> run, const Running& running,
                       const Snapshots& snapshots) {
        const std::uint32_t shifts =
            std::bit_cast<std::uint32_t>(QuickRoundingShift) * std::uint32_t(run.size());
        for (std::size_t lane = 0; lane < Width; ++lane) {
            figures.sum[First + lane] += std::int32_t(running.shiftedSum[lane] - shifts);
            figures.count[First + lane] += run.size() - std::size_t(running.leftOut[lane]);
        }
        // The first dataset of the run with the value holds it, as in date-time order a tie keeps
        // the earlier one. The extremes only go on, so the blocks before the one that reached the
        // value are those whose figure differs from it; counting them takes no branch.
        Int minBlock = {}, maxBlock = {};
        for (std::size_t block = 0; block < run.size() / Block; ++block) {
            minBlock -= snapshots.minAfter[block] != running.min;
            maxBlock -= snapshots.maxAfter[block] != running.max;
        }
        const auto find = [&](std::int32_t block, std::size_t lane, float value) {
            const std::size_t from = std::size_t(block) * Block, to = std::min(run.size(), from + Block);
            std::size_t at = from;
            for (std::size_t i = to; i-- > from;)
                at = run[i].Values()[First + lane] == value ? i : at;
            return run[at].GetDateTime().Value();
        };
        for (std::size_t lane = 0; lane < Width; ++lane) {
            if (running.min[lane] < figures.min[First + lane]) {
                figures.minAt[First + lane] = find(minBlock[lane], lane, running.min[lane]);
                figures.min[First + lane] = running.min[lane];
            }
            if (running.max[lane] > figures.max[First + lane]) {
                figures.maxAt[First + lane] = find(maxBlock[lane], lane, running.max[lane]);
                figures.max[First + lane] = running.max[lane];
            }
        }
    }

public:
    // Returns whether it left out values too large for it.
    static bool Add(LaneFigures& figures, std::span<const CDataset> run) {
        Running running{LoadLanes<Float>(&figures.min[First]), LoadLanes<Float>(&figures.max[First]), UInt{},
                        Int{}};
        Snapshots snapshots;
        Int large = {};
        std::size_t i = 0;
        for (; i + Block <= run.size(); i += Block) {
            // Meanwhile the memory brings in what the next runs read: the look at their
            // date-times would otherwise wait for it.
            if constexpr (First == 0)
                for (std::size_t k = 0; k < Block; ++k)
                    __builtin_prefetch(reinterpret_cast<const void*>(
                        reinterpret_cast<std::uintptr_t>(&run[i + k]) + Ahead * sizeof(CDataset)));
            for (std::size_t k = 0; k < Block; ++k)
                large |= AddValues(running, Values(run[i + k]));
            snapshots.minAfter[i / Block] = running.min;
            snapshots.maxAfter[i / Block] = running.max;
        }
        for (; i < run.size(); ++i)
            large |= AddValues(running, Values(run[i]));
        Finish(figures, run, running, snapshots);
        return AnyLaneSet(large);
    }
};

} // namespace
