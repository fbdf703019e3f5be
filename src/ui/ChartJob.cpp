#include "ui/ChartJob.h"

#include "log/Logger.h"
#include "ui/HistoryAccess.h"

#include <QMetaObject>

#include <utility>

ChartJob::ChartJob(HistoryAccess& history, Done done, QObject* parent)
    : QObject(parent), m_history(history), m_done(std::move(done)) {}

ChartJob::~ChartJob() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void ChartJob::Request(const ChartRequest& request, std::uint64_t number) {
    {
        std::lock_guard lock(m_mutex);
        m_next.emplace(request, number);
    }
    if (!m_thread.joinable())
        m_thread = std::thread([this] { Work(); });
    m_wake.notify_one();
}

void ChartJob::Work() {
    for (;;) {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return m_stop || m_next; });
        if (m_stop)
            return;
        const auto [request, number] = *std::exchange(m_next, std::nullopt);
        lock.unlock();
        ChartBuilt built;
        try {
            const auto datasets = m_history.DisplayedSnapshot();
            built = BuildChart(*datasets, request);
        } catch (const std::exception& e) {
            CLogger::Instance().Log(10, "%s", e.what());
            built = BuildChart({}, request);
        }
        QMetaObject::invokeMethod(
            this, [this, built = std::move(built), number]() mutable { m_done(std::move(built), number); },
            Qt::QueuedConnection);
    }
}
