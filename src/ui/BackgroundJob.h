#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

// One piece of work after an import (publishing, the web report) on a thread of its own, so that a
// slow broker or a large history never holds up the window. At most one runs at a time; what
// failed comes back as one line for the status bar.
class BackgroundJob : public QObject {
    Q_OBJECT
public:
    explicit BackgroundJob(QObject* parent) : QObject(parent) {}
    // Waits for the work under way (the window closes).
    ~BackgroundJob() override;

signals:
    // Empty when the work succeeded, else one line saying what went wrong.
    void Finished(const QString& problem);

protected:
    // Whether work could start now: false while the last one still runs (the next import brings
    // this one's datasets too).
    bool Claim() { return !m_running.exchange(true); }
    // Runs work (which gives back its problem, empty for none) on the job's thread; only after Claim.
    void Run(std::function<QString()> work);

private:
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};
