#include "ui/DataImportDlg.h"

#include "base/Check.h"
#include "history/HistoryImportSink.h"
#include "log/Logger.h"
#include "settings/Options.h"
#include "station/HWRequestReadRingBuffer.h"
#include "ui/DialogUnits.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {

// What a failed request says, without its "Request failed: ".
QString FailureReason(const std::string& message) {
    QString reason = QString::fromStdString(message);
    const QString prefix = QStringLiteral("Request failed: ");
    return reason.startsWith(prefix) ? reason.mid(prefix.size()) : reason;
}

} // namespace

CDataImportDlg::CDataImportDlg(StationLink& link, CHistoryData& recording, QWidget* parent)
    : QDialog(parent), m_link(link), m_recording(recording), m_texts(this, 207) {
    SetUpDialogWindow(this);
    setWindowTitle(QStringLiteral("+"));
    const DialogUnits units(this);
    units.Size(this, 155, 54);
    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    SetControlId(m_progress, 1005);
    units.Place(m_progress, 2, 5, 151, 11);
    m_label = new QLabel(QStringLiteral("Data import in progress"), this);
    m_label->setAlignment(Qt::AlignCenter);
    SetControlId(m_label, 1004);
    units.Place(m_label, 3, 19, 148, 8);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    SetControlId(m_cancel, 1003);
    units.Place(m_cancel, 53, 36, 50, 14);
    connect(m_cancel, &QPushButton::clicked, this, &CDataImportDlg::OnCancel);
    connect(&m_requests, &RequestSignals::ReadProgress, this, &CDataImportDlg::OnReadProgress);
    connect(&m_requests, &RequestSignals::Finished, this, &CDataImportDlg::OnWorkFinished);

    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &CDataImportDlg::PostInitialize);

    m_texts.SetLanguage(Options().GetLanguageID(), false);
}

CDataImportDlg::~CDataImportDlg() = default;

void CDataImportDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnParent(this);
    if (!m_started) {
        m_started = true;
        PostInitialize();
    }
}

void CDataImportDlg::PostInitialize() {
    QMetaObject::invokeMethod(this, &CDataImportDlg::OnInitialize, Qt::QueuedConnection);
}

void CDataImportDlg::OnInitialize() {
    if (m_request)
        return;
    if (m_cancelRequested) {
        done(Cancelled); // nothing of ours runs
        return;
    }
    try {
        auto sink = std::make_shared<HistoryImportSink>(m_recording, Options().GetRecordingHistoryFile());
        auto request = std::make_shared<CHWRequestReadRingBuffer>(m_requests.Observer(), std::move(sink));
        if (m_order.whole)
            request->ForceWholeRead();
        if (m_order.all)
            request->ImportAll();
        if (m_link.AddRequest(request)) {
            m_request = request;
            return;
        }
    } catch (const std::exception& e) {
        CLogger::Instance().Log(10, "%s", e.what());
    }
    // The link still holds another request (the aborted ping, say): try again shortly.
    show();
    m_retry.start();
}

void CDataImportDlg::OnReadProgress(quint32 bytesDone, quint32 bytesTotal) {
    m_progress->setRange(0, bytesTotal > 0 ? int(bytesTotal) : 1);
    m_progress->setValue(int(std::min(bytesDone, bytesTotal)));
}

void CDataImportDlg::OnWorkFinished(const RequestOutcome& outcome) {
    try {
        const StationLink::RequestPtr request = m_link.TakeRequest();
        if (request == m_request)
            m_request.reset();
        const auto* read = dynamic_cast<const CHWRequestReadRingBuffer*>(request.get());
        if (read)
            m_summary = read->Summary();
        if (outcome.succeeded) {
            done(Succeeded);
            return;
        }
        if (outcome.aborted) {
            done(Cancelled);
            return;
        }
        CLogger::Instance().Log(10, "%s: %s", request->Name().c_str(), outcome.message.c_str());
        if (m_order.oneAttempt && read) {
            m_failure = outcome.message;
            done(Failed);
            return;
        }
        if (read && read->Summary().newestDatasetInvalid)
            ShowProblem(Text(NewestDatasetInvalidText, "The station's newest dataset has an invalid date and "
                                                       "time. The import goes on after the station's next "
                                                       "measurement."));
        else
            ShowProblem(Text(AttemptFailedText, "The last attempt failed: %1. Trying again.")
                            .arg(FailureReason(outcome.message)));
    } catch (const std::exception& e) {
        CLogger::Instance().Log(10, "%s", e.what());
        if (m_request) {
            // Our read is still in the list (the worker had not let go of it yet): take it later.
            QTimer::singleShot(RetryMs, this, [this, outcome] { OnWorkFinished(outcome); });
            return;
        }
    }
    if (m_cancelRequested && !m_request) {
        done(Cancelled);
        return;
    }
    PostInitialize(); // a new read
}

QString CDataImportDlg::Text(int key, const char* english) const {
    const std::string text = m_texts.Texts().Text(key);
    return QString::fromStdString(text.empty() ? std::string(english) : text);
}

void CDataImportDlg::ShowProblem(const QString& problem) {
    if (problem == m_problemShown)
        return;
    m_problemShown = problem;
    // A reason takes up to five lines: the label grows and the button moves down.
    const bool show = !problem.isEmpty();
    const DialogUnits units(this);
    const int extra = show ? LabelExtraHeight : 0;
    units.Size(this, 155, 54 + extra);
    units.Place(m_label, 3, 19, 148, 8 + extra);
    units.Place(m_cancel, 53, 36 + extra, 50, 14);
    m_label->setWordWrap(show);
    m_label->setText(show ? problem : Text(1004, "Data import in progress"));
}

void CDataImportDlg::OnCancel() {
    m_cancelRequested = true;
    if (m_request) {
        m_request->Abort(); // closes when the worker reports the abort
        return;
    }
    if (!m_retry.isActive())
        return; // a start message is on its way and finds the cancel
    m_retry.stop();
    done(Cancelled);
}

void CDataImportDlg::reject() {
    OnCancel(); // Escape cancels like the button
}

void CDataImportDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    OnCancel();
}
