// A full ring (3,300 datasets) as a publish backlog, delivered to Debian's mosquitto on loopback:
// each dataset on the archive topic with QoS 1 and acknowledged, the discovery configs and the
// state as well. The aim: the whole backlog within one second of wall time (the broker is a
// process of its own, so real time is what counts). Beside it, the payloads built alone, to show
// what share the broker round trips take.
#include "publish/DatasetJson.h"
#include "publish/PublishPlan.h"
#include "publish/PublishState.h"
#include "publish/Publisher.h"

#include "MosquittoBroker.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int Backlog = 3300;

std::vector<CDataset> Series() {
    std::vector<CDataset> history;
    const double start = CDateTime(2026, 12, 8, 0, 0, 0).Value();
    for (int i = 0; i < Backlog; ++i) {
        CDataset d;
        CDateTime::Fields f;
        CDateTime(start + i * 5.0 / (24 * 60) + 1e-7).GetFields(f);
        d.SetDateTime(CDateTime(f.year, f.month, f.day, f.hour, f.minute, 0));
        for (int s = 0; s < CDataset::SensorCount; ++s) {
            d.SetTemperature(s, 20.0f - static_cast<float>(s) + static_cast<float>(i % 30) / 10);
            d.SetHumidity(s, static_cast<float>(40 + s));
        }
        history.push_back(d);
    }
    return history;
}

void DeliverBacklog(benchmark::State& state) {
    MosquittoBroker broker;
    TempDir dir;
    const auto history = Series();
    PublishRequest request;
    request.options.broker = broker.Url();
    request.options.deviceId = "0a1b2c3d4e5f";
    request.historyFile = dir / "history.nvh";
    request.transmitters = 5;
    double worst = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(PublishStateFile(request.historyFile));
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        const PublishReport report = PublishHistory(request, history);
        worst =
            std::max(worst, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!report.ok || report.archived != Backlog) {
            state.SkipWithError(report.error.c_str());
            return;
        }
    }
    state.counters["datasets"] = Backlog;
    state.counters["worst_s"] = worst;
    std::printf("backlog of %d datasets delivered in at most %.3f s (aim <= 1 s)  %s\n", Backlog, worst,
                worst <= 1.0 ? "ok" : "OVER");
}
BENCHMARK(DeliverBacklog)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BuildPayloadsOnly(benchmark::State& state) {
    const auto history = Series();
    PublishInputs inputs;
    inputs.options.deviceId = "0a1b2c3d4e5f";
    inputs.transmitters = 5;
    for (auto _ : state)
        benchmark::DoNotOptimize(PlanPublish(inputs, history, LocalUtcOffsetSeconds));
}
BENCHMARK(BuildPayloadsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
