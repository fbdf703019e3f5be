#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

#include <functional>
#include <utility>

// Work for a view that runs on Qt's thread pool and whose result the view takes on its own
// thread: only the newest request counts. Starting again supersedes the work under way, whose
// result is dropped when it comes; so is every result once the owner is gone (the window closed).
// The work must own all it reads (a snapshot, copies of the settings), never the view, since it
// may outlive it.
template <typename Result> class LatestJob {
public:
    explicit LatestJob(QObject& owner) : m_owner(owner) {}
    ~LatestJob() { Drop(); }
    LatestJob(const LatestJob&) = delete;
    LatestJob& operator=(const LatestJob&) = delete;

    // done gets the result on the owner's thread, unless a newer Start or Drop came first. work
    // must not throw: it runs on a pool thread, and is to say its failure in its result.
    void Start(std::function<Result()> work, std::function<void(Result)> done) {
        Drop();
        // The watcher belongs to the owner, so a result that comes after the owner went is lost.
        auto* watcher = new QFutureWatcher<Result>(&m_owner);
        m_watcher = watcher;
        QObject::connect(watcher, &QFutureWatcherBase::finished, &m_owner,
                         [this, watcher, done = std::move(done)] {
                             watcher->deleteLater();
                             m_watcher = nullptr;
                             done(watcher->future().takeResult());
                         });
        watcher->setFuture(QtConcurrent::run(std::move(work)));
    }
    // The result of the work under way will not be handed on; the work itself runs to its end.
    void Drop() {
        if (m_watcher) {
            m_watcher->disconnect();
            m_watcher->deleteLater();
            m_watcher = nullptr;
        }
    }
    // Whether a result is still to come.
    bool Running() const { return m_watcher != nullptr; }

private:
    QObject& m_owner;
    QPointer<QFutureWatcher<Result>> m_watcher;
};
