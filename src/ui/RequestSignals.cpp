#include "ui/RequestSignals.h"

#include "ui/QueuedCalls.h"

namespace {

// Runs on the worker thread: every report becomes a queued emission of the matching signal.
class QueuedObserver : public RequestObserver {
public:
    QueuedObserver(std::shared_ptr<QueuedCalls> calls, RequestSignals* emitter)
        : m_calls(std::move(calls)), m_emitter(emitter) {}

    void ReadProgress(std::uint32_t bytesDone, std::uint32_t bytesTotal) override {
        m_calls->Post(
            [s = m_emitter, bytesDone, bytesTotal] { emit s->ReadProgress(bytesDone, bytesTotal); });
    }
    void TransmittersChanged(int count) override {
        m_calls->Post([s = m_emitter, count] { emit s->TransmittersChanged(count); });
    }
    void Finished(const RequestOutcome& outcome) override {
        m_calls->Post([s = m_emitter, outcome] { emit s->Finished(outcome); });
    }

private:
    std::shared_ptr<QueuedCalls> m_calls;
    RequestSignals* m_emitter; // alive while m_calls is attached
};

} // namespace

RequestSignals::RequestSignals(QObject* parent)
    : QObject(parent), m_calls(QueuedCalls::Create(this)),
      m_observer(std::make_shared<QueuedObserver>(m_calls, this)) {}

RequestSignals::~RequestSignals() {
    m_calls->Detach(); // a request still holding the observer reports into nothing
}
