#include "ui/BackgroundJob.h"

#include <QMetaObject>

void BackgroundJob::Run(std::function<QString()> work) {
    if (m_thread.joinable())
        m_thread.join();
    m_thread = std::thread([this, work = std::move(work)] {
        const QString problem = work();
        m_running = false;
        QMetaObject::invokeMethod(
            this, [this, problem] { emit Finished(problem); }, Qt::QueuedConnection);
    });
}

BackgroundJob::~BackgroundJob() {
    if (m_thread.joinable())
        m_thread.join();
}
