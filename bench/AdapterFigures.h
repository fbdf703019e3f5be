#pragma once

#include "simulator/SimulatedSerialPort.h"

#include <benchmark/benchmark.h>

// What one import cost behind a simulated adapter, from the port's counters before and after it.
// The floor is what no driver can go below on that adapter: every line change at its cost with
// the settle delay, every status read at its cost and, where the status is cached, after the lag
// that lets it show our last change, plus the protocol's own waits (synchronisation windows,
// write cycles).
struct AdapterFigures {
    double lineChanges = 0, statusReads = 0, virtualSeconds = 0, floorSeconds = 0;

    struct Mark {
        std::uint64_t changes, reads;
        SimClock::Nanos now, waited;
    };
    static Mark Take(const SimulatedSerialPort& port) {
        return {port.LineChanges(), port.StatusReads(), port.now(), port.WaitedNanos()};
    }
    static AdapterFigures Between(const SimulatedSerialPort& port, const Mark& before) {
        const Mark after = Take(port);
        const AdapterProfile& adapter = port.Adapter();
        AdapterFigures f;
        f.lineChanges = static_cast<double>(after.changes - before.changes);
        f.statusReads = static_cast<double>(after.reads - before.reads);
        f.virtualSeconds = static_cast<double>(after.now - before.now) / 1e9;
        const double lag = adapter.cachedStatus ? static_cast<double>(adapter.statusLagNanos) : 0.0;
        f.floorSeconds =
            (f.lineChanges * static_cast<double>(adapter.lineChangeNanos + SimulatedSerialPort::SettleTime) +
             f.statusReads * (static_cast<double>(adapter.statusReadNanos) + lag) +
             static_cast<double>(after.waited - before.waited)) /
            1e9;
        return f;
    }
    void Report(benchmark::State& state) const {
        state.counters["line_changes"] = lineChanges;
        state.counters["status_reads"] = statusReads;
        state.counters["virtual_seconds"] = virtualSeconds;
        state.counters["floor_seconds"] = floorSeconds;
        state.counters["times_floor"] = floorSeconds > 0 ? virtualSeconds / floorSeconds : 0;
    }
};
