#pragma once

#include "hw/RequestObserver.h"

#include <QObject>

#include <memory>

class QueuedCalls;

// The station requests' reports as Qt signals. Requests are given Observer(); what the worker
// reports there is queued to this object's thread and emitted there, so receivers connect as
// usual and their slots run on the user-interface thread, after the events already waiting.
class RequestSignals : public QObject {
    Q_OBJECT
public:
    explicit RequestSignals(QObject* parent = nullptr);
    ~RequestSignals() override;

    RequestObserverRef Observer() const { return m_observer; }

signals:
    void ReadProgress(quint32 bytesDone, quint32 bytesTotal);
    void TransmittersChanged(int count);
    void Finished(const RequestOutcome& outcome);

private:
    std::shared_ptr<QueuedCalls> m_calls;
    std::shared_ptr<RequestObserver> m_observer;
};
