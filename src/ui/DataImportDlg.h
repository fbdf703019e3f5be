#pragma once

#include "station/HWRequestReadRingBuffer.h"
#include "ui/DialogTexts.h"
#include "ui/RequestSignals.h"
#include "ui/StationLink.h"

#include <QDialog>
#include <QTimer>

#include <memory>

class CHistoryData;

class QLabel;
class QProgressBar;
class QPushButton;

// How the dialog imports: the Import command's routine reads, or what another program asked for.
struct ImportOrder {
    bool whole = false;      // read every byte of the ring buffer
    bool all = false;        // take every dataset the station holds
    bool oneAttempt = false; // a failed read closes the dialog with Failed instead of trying again
};

// Reads the new datasets from the station while the user waits: queues a ring buffer read with
// the link (again and again until the link takes it), shows its progress, and closes with 1 when
// the read succeeded and with 2 when it was cancelled. A failed read is logged and tried again;
// when it failed because of the station's newest dataset, the dialog says so.
class CDataImportDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int Succeeded = 1;
    static constexpr int Cancelled = 2;
    static constexpr int Failed = 3; // with ImportOrder::oneAttempt only
    // Pause before queuing again when the link held another request.
    static constexpr int RetryMs = 50;

    // The datasets read go to recording and the recording file of the options.
    CDataImportDlg(StationLink& link, CHistoryData& recording, QWidget* parent = nullptr);
    ~CDataImportDlg() override;

    void SetOrder(const ImportOrder& order) { m_order = order; }
    // What the read did, after Succeeded.
    const ImportSummary& Summary() const { return m_summary; }
    // The failed read's message, after Failed.
    const std::string& FailureMessage() const { return m_failure; }

    QProgressBar* Progress() const { return m_progress; }
    QPushButton* CancelButton() const { return m_cancel; }
    QLabel* StateLabel() const { return m_label; }
    // The read the link holds for this dialog, if any.
    const StationLink::RequestPtr& Request() const { return m_request; }

public slots:
    void OnCancel();
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OnInitialize();
    void OnReadProgress(quint32 bytesDone, quint32 bytesTotal);
    void OnWorkFinished(const RequestOutcome& outcome);
    void PostInitialize();
    // While reads fail, the label says why (the reads go on): the station's newest dataset has an
    // invalid date-time (its next measurement ends it), or the last attempt's reason (a history
    // file that cannot be written, a station that does not answer). Empty: the usual text.
    void ShowProblem(const QString& problem);
    // The language text of key, else the English given.
    QString Text(int key, const char* english) const;

    static constexpr int NewestDatasetInvalidText = 100012;
    static constexpr int AttemptFailedText = 100124; // %1: the reason
    static constexpr int LabelExtraHeight = 32;

    StationLink& m_link;
    CHistoryData& m_recording;
    RequestSignals m_requests;
    CTooltipHandlerImpl m_texts;
    QProgressBar* m_progress;
    QLabel* m_label;
    QPushButton* m_cancel;
    QTimer m_retry;
    StationLink::RequestPtr m_request;
    ImportOrder m_order;
    ImportSummary m_summary;
    std::string m_failure;
    bool m_started = false;
    bool m_cancelRequested = false;
    QString m_problemShown;
};
