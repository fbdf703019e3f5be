#include "ui/RequestSignals.h"

#include "UiTests.h"

#include <QtTest>

#include <thread>

// Where the reports of a worker arrive: on the signals' thread, in the order made, and never
// after the signals object is gone.
class RequestSignalsTest : public QObject {
    Q_OBJECT
private slots:
    void reportsFromTheWorkerArriveInOrderOnTheWindowsThread() {
        RequestSignals signals_;
        QStringList heard;
        QList<bool> onThisThread;
        const auto note = [&](const QString& what) {
            heard.append(what);
            onThisThread.append(QThread::currentThread() == thread());
        };
        connect(&signals_, &RequestSignals::ReadProgress, this,
                [&](quint32 done, quint32 total) { note(QStringLiteral("%1 of %2").arg(done).arg(total)); });
        connect(&signals_, &RequestSignals::TransmittersChanged, this,
                [&](int count) { note(QStringLiteral("count %1").arg(count)); });
        connect(&signals_, &RequestSignals::Finished, this, [&](const RequestOutcome& outcome) {
            note(QStringLiteral("finished %1 %2 %3")
                     .arg(outcome.succeeded)
                     .arg(outcome.aborted)
                     .arg(QString::fromStdString(outcome.message)));
        });
        std::thread worker([observer = signals_.Observer().lock()] {
            observer->ReadProgress(0, 1800);
            observer->ReadProgress(1800, 3600);
            observer->TransmittersChanged(3);
            observer->Finished({false, true, "Request failed: Thread aborted"});
        });
        worker.join();
        QVERIFY(heard.isEmpty()); // nothing runs on the worker thread
        QTRY_COMPARE(heard.size(), 4);
        QCOMPARE(heard, (QStringList{QStringLiteral("0 of 1800"), QStringLiteral("1800 of 3600"),
                                     QStringLiteral("count 3"),
                                     QStringLiteral("finished 0 1 Request failed: Thread aborted")}));
        QCOMPARE(onThisThread, (QList<bool>{true, true, true, true}));
    }

    // Also a report made on the window's thread waits behind the events already queued.
    void aReportOnTheWindowsThreadIsQueuedToo() {
        RequestSignals signals_;
        int finished = 0;
        connect(&signals_, &RequestSignals::Finished, this, [&] { ++finished; });
        signals_.Observer().lock()->Finished({true, false, ""});
        QCOMPARE(finished, 0);
        QTRY_COMPARE(finished, 1);
    }

    void aRequestOutlivingItsSignalsReportsIntoNothing() {
        int heard = 0;
        std::shared_ptr<RequestObserver> held;
        {
            RequestSignals signals_;
            connect(&signals_, &RequestSignals::Finished, this, [&] { ++heard; });
            held = signals_.Observer().lock();
            held->Finished({true, false, ""}); // queued, then dropped with the object
        }
        held->ReadProgress(1, 2);
        held->Finished({true, false, ""});
        QCoreApplication::processEvents();
        QCOMPARE(heard, 0);
    }
};

static RegisterUiTest<RequestSignalsTest> registerRequestSignalsTest;

#include "RequestSignalsTest.moc"
