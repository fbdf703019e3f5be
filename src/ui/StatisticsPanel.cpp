#include "ui/StatisticsPanel.h"

#include "history/StatisticsText.h"
#include "log/Logger.h"
#include "settings/OptionValues.h"
#include "settings/Options.h"
#include "ui/ChartTime.h"
#include "ui/CommandIds.h"
#include "ui/FileDialogs.h"
#include "ui/HistoryAccess.h"
#include "ui/PrintCommand.h"
#include "ui/PrintJob.h"
#include "ui/StatisticsModel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPrinter>
#include <QSaveFile>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace {

CLogger& Log() {
    return CLogger::Instance();
}

QDate ToQDate(DATE date) {
    CDateTime::Fields fields;
    if (!CDateTime(date).GetFields(fields))
        return {};
    return QDate(fields.year, fields.month, fields.day);
}

} // namespace

CStatisticsPanel::CStatisticsPanel(HistoryAccess& history, QWidget* parent)
    : QWidget(parent), m_history(history), m_model(new CStatisticsModel(this)),
      m_table(new QTableView(this)) {
    BuildControls();
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(0);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CStatisticsPanel::Refresh);
    ApplyOptions();
}

CStatisticsPanel::~CStatisticsPanel() = default;

void CStatisticsPanel::BuildControls() {
    m_table->setObjectName(QStringLiteral("statistics"));
    m_table->setModel(m_model);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->horizontalHeader()->setStretchLastSection(false);

    m_periodLabel = new QLabel(this);
    m_periodBox = new QComboBox(this);
    m_periodBox->setObjectName(QStringLiteral("period"));
    m_fromCheck = new QCheckBox(this);
    m_fromCheck->setObjectName(QStringLiteral("useFrom"));
    m_fromEdit = new QDateEdit(this);
    m_fromEdit->setObjectName(QStringLiteral("from"));
    m_toCheck = new QCheckBox(this);
    m_toCheck->setObjectName(QStringLiteral("useTo"));
    m_toEdit = new QDateEdit(this);
    m_toEdit->setObjectName(QStringLiteral("to"));
    for (QDateEdit* edit : {m_fromEdit, m_toEdit}) {
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
        edit->setDate(QDate::currentDate());
    }
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(6, 4, 6, 0);
    bar->addWidget(m_periodLabel);
    bar->addWidget(m_periodBox);
    bar->addSpacing(12);
    bar->addWidget(m_fromCheck);
    bar->addWidget(m_fromEdit);
    bar->addSpacing(6);
    bar->addWidget(m_toCheck);
    bar->addWidget(m_toEdit);
    bar->addSpacing(12);
    bar->addWidget(m_status, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addWidget(m_table, 1);

    connect(m_periodBox, &QComboBox::activated, this,
            [this](int index) { SetPeriodKind(PeriodKind(index)); });
    for (QCheckBox* check : {m_fromCheck, m_toCheck})
        connect(check, &QCheckBox::toggled, this, [this] {
            m_fromEdit->setEnabled(m_fromCheck->isChecked());
            m_toEdit->setEnabled(m_toCheck->isChecked());
            Refresh();
        });
    for (QDateEdit* edit : {m_fromEdit, m_toEdit})
        connect(edit, &QDateEdit::userDateChanged, this, [this] {
            m_datesChosen = true;
            Refresh();
        });
}

void CStatisticsPanel::ApplyTexts() {
    m_periodLabel->setText(m_texts.period);
    m_periodBox->clear();
    m_periodBox->addItems(m_texts.periods);
    m_periodBox->setCurrentIndex(int(m_kind));
    m_periodBox->setToolTip(m_texts.periodsTip);
    m_fromCheck->setText(m_texts.from);
    m_fromCheck->setToolTip(m_texts.fromTip);
    m_fromEdit->setToolTip(m_texts.fromTip);
    m_toCheck->setText(m_texts.to);
    m_toCheck->setToolTip(m_texts.toTip);
    m_toEdit->setToolTip(m_texts.toTip);
    // The day fields show days as the options write them.
    const QString format = QtDateTimeFormat(DatePattern(Options().GetDateTimeFormat()));
    m_fromEdit->setDisplayFormat(format);
    m_toEdit->setDisplayFormat(format);
}

void CStatisticsPanel::ApplyOptions() {
    COptionsImpl& options = Options();
    m_texts = StatisticsTexts::Load(options.GetLanguageID(), options.UsesFahrenheit());
    ApplyTexts();
    // The column titles and the rows shown follow at once, before new rows are computed.
    m_model->SetPresentation(m_texts, CurrentColumnFormat());
    m_table->resizeColumnsToContents();
    if (isVisible())
        Refresh();
    else
        m_dirty = true;
}

StatisticsRange CStatisticsPanel::Range() const {
    StatisticsRange range;
    if (m_fromCheck->isChecked()) {
        const QDate day = m_fromEdit->date();
        range.from = CDateTime(day.year(), day.month(), day.day(), 0, 0, 0);
    }
    if (m_toCheck->isChecked()) {
        const QDate day = m_toEdit->date();
        range.to = CDateTime(day.year(), day.month(), day.day(), 23, 59, 59);
    }
    return range;
}

CStatisticsPanel::Request CStatisticsPanel::MakeRequest() const {
    Request request;
    try {
        request.datasets = m_history.DisplayedSnapshot();
    } catch (const std::exception& e) {
        Log().Log(10, "%s", e.what());
    }
    request.kind = m_kind;
    request.range = Range();
    request.followDays = !m_datesChosen;
    return request;
}

CStatisticsPanel::Rows CStatisticsPanel::Compute(const Request& request) {
    Rows rows;
    if (!request.datasets)
        return rows;
    try {
        rows.summaries = Summarize(*request.datasets, request.kind, request.range);
        if (request.followDays)
            rows.days = HistorySpan(*request.datasets);
    } catch (const std::exception& e) {
        Log().Log(10, "%s", e.what());
        rows = {};
    }
    return rows;
}

void CStatisticsPanel::Refresh() {
    m_dirty = false;
    m_refreshTimer.stop();
    m_job.Start([request = MakeRequest()] { return Compute(request); },
                [this](Rows rows) { Show(std::move(rows)); });
    m_status->setText(m_texts.computing);
}

void CStatisticsPanel::RefreshNowIfStale() {
    if (!m_dirty && !m_job.Running())
        return;
    m_dirty = false;
    m_refreshTimer.stop();
    m_job.Drop();
    Show(Compute(MakeRequest()));
}

void CStatisticsPanel::Show(Rows rows) {
    // Days the user chose while the rows were computed stay.
    if (rows.days && !m_datesChosen) {
        const QSignalBlocker blockFrom(m_fromEdit), blockTo(m_toEdit);
        m_fromEdit->setDate(ToQDate(rows.days->first));
        m_toEdit->setDate(ToQDate(rows.days->last));
    }
    // New datasets should not throw the reader back to the top.
    const int scrolled = m_table->verticalScrollBar()->value();
    m_model->Reset(std::move(rows.summaries), m_texts, CurrentColumnFormat());
    m_table->resizeColumnsToContents();
    m_table->verticalScrollBar()->setValue(scrolled);
    m_status->setText(m_model->rowCount() == 0 ? m_texts.noData : QString());
    emit RowsShown();
}

void CStatisticsPanel::Invalidate() {
    m_dirty = true;
    if (isVisible())
        m_refreshTimer.start();
}

void CStatisticsPanel::SetPeriodKind(PeriodKind kind) {
    m_kind = kind;
    m_periodBox->setCurrentIndex(int(kind));
    Refresh();
}

void CStatisticsPanel::SetRange(std::optional<QDate> from, std::optional<QDate> to) {
    const QSignalBlocker blockFrom(m_fromCheck), blockTo(m_toCheck);
    const QSignalBlocker blockFromEdit(m_fromEdit), blockToEdit(m_toEdit);
    m_fromCheck->setChecked(from.has_value());
    m_toCheck->setChecked(to.has_value());
    m_fromEdit->setEnabled(from.has_value());
    m_toEdit->setEnabled(to.has_value());
    if (from)
        m_fromEdit->setDate(*from);
    if (to)
        m_toEdit->setDate(*to);
    m_datesChosen = from || to;
    Refresh();
}

QString CStatisticsPanel::StatusText() const {
    return m_status->text();
}

bool CStatisticsPanel::OnCommand(int id) {
    if (id == Command::FilePrint) {
        const std::unique_ptr<QPrinter> printer = MakeDefaultPrinter();
        Print(*printer);
        return true;
    }
    if (id == Command::DataExport) {
        Export();
        return true;
    }
    return false;
}

int CStatisticsPanel::Print(QPrinter& printer) {
    RefreshNowIfStale();
    // Every column as wide as its widest text.
    QStringList widest;
    for (int column = 0; column < m_model->columnCount(); ++column) {
        QString longest;
        for (int row = 0; row < m_model->rowCount(); ++row) {
            const QString text = m_model->CellText(row, column);
            if (text.size() > longest.size())
                longest = text;
        }
        widest.append(longest);
    }
    CListViewCtrlPrintJobInfo job(*m_model, widest, 2); // period and quantity say which row it is
    return PrintTable(*this, job, printer);
}

void CStatisticsPanel::Export() {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Save;
    request.filterName = m_texts.csvFiles;
    request.pattern = QStringLiteral("*.csv");
    request.defaultSuffix = QStringLiteral("csv");
    request.initialFile = QStringLiteral("statistics.csv");
    QWidget* owner = QApplication::activeWindow();
    if (const std::optional<QString> file = AskForFile(owner ? owner : this, request))
        SaveCsv(*file);
}

bool CStatisticsPanel::SaveCsv(const QString& file) {
    RefreshNowIfStale();
    const std::string text = StatisticsCsv(m_model->Summaries(), m_model->Format().fahrenheit);
    QSaveFile out(file);
    const bool written = out.open(QIODevice::WriteOnly) &&
                         out.write(text.data(), qint64(text.size())) == qint64(text.size()) && out.commit();
    if (written) {
        m_status->clear();
        Log().Log(30, "Statistics saved to %s", file.toUtf8().constData());
        return true;
    }
    m_status->setText(m_texts.SaveFailedText(file));
    Log().Log(10, "Saving the statistics to %s failed: %s", file.toUtf8().constData(),
              out.errorString().toUtf8().constData());
    return false;
}

void CStatisticsPanel::OnOptionsChanged(const OptionsChange& changes) {
    try {
        if (changes.language || changes.format)
            ApplyOptions();
        else if (changes.historyFile)
            Invalidate();
    } catch (const std::exception& e) {
        Log().Log(10, "%s", e.what());
    }
}

void CStatisticsPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_dirty)
        m_refreshTimer.start();
}
