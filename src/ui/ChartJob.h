#pragma once

#include "ui/ChartBuild.h"

#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class HistoryAccess;

// Builds the chart on a thread of its own, so a history of a million datasets never holds up the
// window. It builds from a snapshot of the displayed datasets, as the statistics view does, so the
// window never waits on the store's lock while a chart is built. A request made while another is built waits,
// and a newer one replaces it: after the build under way only the newest is built. Each result comes back on
// the window's thread with the number its request was given, so the asker can drop one it has
// since asked again for.
class ChartJob : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(ChartBuilt built, std::uint64_t number)>;
    ChartJob(HistoryAccess& history, Done done, QObject* parent = nullptr);
    // Waits for the build under way; what was still waiting is not built.
    ~ChartJob() override;

    void Request(const ChartRequest& request, std::uint64_t number);

private:
    void Work();

    HistoryAccess& m_history;
    Done m_done;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<std::pair<ChartRequest, std::uint64_t>> m_next;
    bool m_stop = false;
    std::thread m_thread; // started with the first request
};
