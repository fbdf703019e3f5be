#include "ui/MainFrame.h"

#include "base/Check.h"
#include "log/Logger.h"
#include "settings/LangXml.h"
#include "settings/OptionValues.h"
#include "station/HWRequestPingTransmitters.h"
#include "ui/ChartPanel.h"
#include "ui/Commands.h"
#include "ui/DataView.h"
#include "ui/HistoryAccess.h"
#include "ui/LanguageMenu.h"
#include "ui/MessageTexts.h"
#include "ui/QtTranslations.h"
#include "ui/QueuedCalls.h"
#include "ui/RequestSignals.h"
#include "ui/StationLink.h"
#include "ui/StatisticsPanel.h"
#include "ui/StatusBar.h"
#include "ui/UserMessage.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QStackedWidget>
#include <QToolBar>

// The icons live in the static library's resources; they are linked in only when asked for.
static void InitResources() {
    Q_INIT_RESOURCE(resources);
}

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

CLogger& Log() {
    return CLogger::Instance();
}

// The plain command name from a menu text: no mnemonic, no shortcut, no trailing dots.
QString CommandName(const std::string& menuText) {
    QString name = FromUtf8(menuText.substr(0, menuText.find('\t')));
    name.remove(QLatin1Char('&'));
    while (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    return name;
}

const char* const ConnectedIcon = ":/icons/connected.svg";
const char* const DisconnectedIcon = ":/icons/disconnected.svg";

} // namespace

CMainFrame::CMainFrame(HistoryAccess& history, StationLink& link, QWidget* parent)
    : QMainWindow(parent), m_history(history), m_link(link), m_requests(new RequestSignals(this)),
      m_storeChanges(QueuedCalls::Create(this)) {
    InitResources();
    connect(m_requests, &RequestSignals::Finished, this, &CMainFrame::OnWorkFinished);
    connect(m_requests, &RequestSignals::TransmittersChanged, this, &CMainFrame::OnTransmittersChanged);
    setWindowIcon(QIcon(QStringLiteral(":/icons/nivaro.svg")));
    UpdateTitle();
    BuildMenu();
    BuildToolBar();

    m_statusBar = new CMPSBarWithAnimation(this);
    setStatusBar(m_statusBar);
    m_statusBar->SetPanes({CMPSBarWithAnimation::LinkPane, 0, CMPSBarWithAnimation::DisplayedPane,
                           CMPSBarWithAnimation::RecordingPane},
                          true);
    m_iconConnected = QIcon(QString::fromLatin1(ConnectedIcon));
    m_iconDisconnected = QIcon(QString::fromLatin1(DisconnectedIcon));
    m_statusBar->SetPaneIcon(CMPSBarWithAnimation::DisplayedPane,
                             QIcon(QStringLiteral(":/icons/displayed.svg")), QStringLiteral("displayed"));
    m_statusBar->SetPaneIcon(CMPSBarWithAnimation::RecordingPane,
                             QIcon(QStringLiteral(":/icons/recording.svg")), QStringLiteral("recording"));

    m_history.ReadRecording(Options().GetRecordingHistoryFile());
    // Runs on whichever thread changed a store, with the store locked: it only posts.
    m_history.Subscribe([calls = m_storeChanges, this] { calls->Post([this] { OnStoreChanged(); }); });

    m_views = new QStackedWidget(this);
    m_view = new CDataView(m_history, m_views);
    m_chart = new CChartPanel(m_history, m_views);
    m_statistics = new CStatisticsPanel(m_history, m_views);
    m_views->addWidget(m_view);
    m_views->addWidget(m_chart);
    m_views->addWidget(m_statistics);
    setCentralWidget(m_views);
    connect(this, &CMainFrame::OptionsChanged, m_view, &CDataView::OnOptionsChanged);
    connect(this, &CMainFrame::OptionsChanged, m_chart, &CChartPanel::OnOptionsChanged);
    connect(this, &CMainFrame::OptionsChanged, m_statistics, &CStatisticsPanel::OnOptionsChanged);
    connect(this, &CMainFrame::HistoryChanged, m_view, &CDataView::Refill);
    connect(this, &CMainFrame::HistoryChanged, m_chart, &CChartPanel::Invalidate);
    connect(this, &CMainFrame::HistoryChanged, m_statistics, &CStatisticsPanel::Invalidate);
    UpdateViewToggles();

    m_timer.setInterval(PingInterval);
    connect(&m_timer, &QTimer::timeout, this, &CMainFrame::OnTimer);

    StartHWManager();
    PingTransmitters(); // the first ping goes out at once
    UpdateStatusBar();
    resize(900, 560);
    if (m_history.DisplayedDamage().Any())
        QTimer::singleShot(0, this, [this] { WarnOfDamage(this, m_history); });
}

CMainFrame::~CMainFrame() {
    OnDestroy();
    m_history.Subscribe({});
    m_storeChanges->Detach();
}

RequestObserverRef CMainFrame::Observer() const {
    return m_requests->Observer();
}

QAction* CMainFrame::MakeCommandAction(int id, QObject* parent) {
    auto* action = new QAction(parent);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    return action;
}

void CMainFrame::BuildMenu() {
    const std::uint16_t language = Options().GetLanguageID();
    const LanguageMenu* menu = nullptr;
    try {
        menu = &LoadLanguageMenu(MainMenu, language);
        m_menuLanguage = language;
    } catch (const std::exception& e) {
        // A hand-edited LanguageID without a menu: carry on with the English one.
        Log().Log(10, "%s", e.what());
        menu = &LoadLanguageMenu(MainMenu, 1033);
        m_menuLanguage = 1033;
    }
    QMenuBar* bar = menuBar();
    // clear() only takes the actions away; the menus of the old language stay children of the bar.
    // Later, not now: this may run inside one of their actions (the options command).
    for (QMenu* old : bar->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly))
        old->deleteLater();
    bar->clear();
    for (const MenuDefinition& popup : *menu) {
        QMenu* submenu = bar->addMenu(FromUtf8(popup.title));
        for (const MenuCommand& command : popup.commands) {
            if (command.IsSeparator()) {
                submenu->addSeparator();
                continue;
            }
            QAction* action = MakeCommandAction(command.id, submenu);
            action->setText(FromUtf8(command.text));
            submenu->addAction(action);
        }
    }
}

void CMainFrame::BuildToolBar() {
    m_toolBar = addToolBar(QStringLiteral("Toolbar"));
    m_toolBar->setObjectName(QStringLiteral("toolbar"));
    m_toolBar->setMovable(false);
    m_toolBar->setIconSize(QSize(20, 20));
    const struct {
        int id;
        const char* icon;
    } buttons[] = {{Command::FileOpen, ":/icons/open.svg"},
                   {0, nullptr},
                   {Command::DataImport, ":/icons/import.svg"},
                   {Command::DataExport, ":/icons/export.svg"},
                   {Command::DataDelete, ":/icons/delete.svg"},
                   {0, nullptr},
                   {Command::FilePrint, ":/icons/print.svg"},
                   {0, nullptr},
                   {Command::DataChart, ":/icons/chart.svg"},
                   {Command::DataStatistics, ":/icons/statistics.svg"},
                   {0, nullptr},
                   {Command::About, ":/icons/about.svg"}};
    for (const auto& button : buttons) {
        if (button.id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* action = MakeCommandAction(button.id, m_toolBar);
        action->setIcon(QIcon(QString::fromLatin1(button.icon)));
        m_toolBar->addAction(action);
        m_toolActions[button.id] = action;
    }
    // The accelerators: Ctrl+O opens, Ctrl+P prints, Ctrl+G toggles the chart, Ctrl+T the
    // statistics, whatever the menu language.
    for (const auto& [id, key] : {std::pair{Command::FileOpen, QKeySequence(Qt::CTRL | Qt::Key_O)},
                                  std::pair{Command::FilePrint, QKeySequence(Qt::CTRL | Qt::Key_P)},
                                  std::pair{Command::DataChart, QKeySequence(Qt::CTRL | Qt::Key_G)},
                                  std::pair{Command::DataStatistics, QKeySequence(Qt::CTRL | Qt::Key_T)}}) {
        QAction* accelerator = MakeCommandAction(id, this);
        accelerator->setShortcut(key);
        accelerator->setShortcutContext(Qt::WindowShortcut);
        addAction(accelerator);
    }
    UpdateToolTips();
}

void CMainFrame::UpdateToolTips() {
    const LanguageMenu& menu = LoadLanguageMenu(MainMenu, m_menuLanguage);
    for (const MenuDefinition& popup : menu)
        for (const MenuCommand& command : popup.commands) {
            const auto action = m_toolActions.find(command.id);
            if (action != m_toolActions.end()) {
                action->second->setText(CommandName(command.text));
                action->second->setToolTip(CommandName(command.text));
            }
        }
}

void CMainFrame::UpdateTitle() {
    LoadMultiLangXml texts;
    texts.SetLanguage(Options().GetLanguageID());
    setWindowTitle(FromUtf8(texts.Text(Options().GetVersion() == 1 ? 100010 : 100011)));
}

void CMainFrame::StartHWManager() {
    try {
        const std::string port = Options().GetPort();
        m_linkProblem.clear();
        if (const StartResult started = m_link.Start(port)) {
            Log().Log(30, "Hardware manager started");
            m_timer.start(PingInterval);
        } else {
            Log().Log(30, "Hardware manager could not be started");
            m_linkProblem = FromUtf8(started.failure);
        }
    } catch (const std::exception& e) {
        m_link.Stop();
        Log().Log(10, "%s", LogText(e).c_str());
        m_linkProblem = FromUtf8(e.what());
    }
    emit LinkChanged();
}

void CMainFrame::StopHWManager() {
    try {
        Log().Log(30, "CMainFrame::StopHWManager");
        Log().Log(30, "CMainFrame::StopHWManager Stopping Timer");
        m_timer.stop();
        Log().Log(30, "CMainFrame::StopHWManager Stopping Manager");
        m_link.Stop();
        Log().Log(30, "CMainFrame::StopHWManager Finished");
    } catch (const std::exception& e) {
        Log().Log(10, "%s", e.what());
    }
    emit LinkChanged();
}

void CMainFrame::StartReading() {
    m_timer.start(PingInterval);
    Log().Log(30, "Reading started");
}

void CMainFrame::StopReading() {
    if (m_timer.isActive()) {
        m_timer.stop();
        AbortCurrentRequest();
    }
    Log().Log(30, "Reading stopped");
}

bool CMainFrame::PingTransmitters() {
    try {
        return m_link.AddRequest(
            std::make_shared<CHWRequestPingTransmitters>(Observer(), TransmitterCountOption(Options())));
    } catch (const std::exception& e) {
        Log().Log(10, "%s", e.what());
        return false;
    }
}

void CMainFrame::OnTimer() {
    PingTransmitters();
    UpdateStatusBar();
}

void CMainFrame::OnWorkFinished(const RequestOutcome& outcome) {
    try {
        const StationLink::RequestPtr request = m_link.TakeRequest();
        // A ping that failed because the frame stopped it (an import begins) says nothing about
        // the link: on the real clock the abort often lands in the middle of a ping.
        const bool stopped = !outcome.succeeded && request->IsAbortRequested();
        if (std::dynamic_pointer_cast<CHWRequestPingTransmitters>(request) && !stopped) {
            if (outcome.succeeded) {
                m_failedPings = 0;
                m_linkProblem.clear();
            } else {
                ++m_failedPings;
                m_linkProblem = FromUtf8(outcome.message);
                if (m_timer.isActive())
                    PingTransmitters();
            }
        }
        if (!outcome.succeeded)
            Log().Log(10, "%s: %s", request->Name().c_str(), outcome.message.c_str());
    } catch (const std::exception& e) {
        Log().Log(10, "%s", e.what());
        if (m_failedPings != 0 && m_timer.isActive())
            PingTransmitters();
    }
    UpdateStatusBar();
}

void CMainFrame::UpdateStatusBar() {
    const bool connected = m_link.IsRunning() && m_failedPings == 0;
    const QString iconName = connected ? QStringLiteral("connected") : QStringLiteral("disconnected");
    if (m_statusBar->PaneIconName(CMPSBarWithAnimation::LinkPane) != iconName)
        m_statusBar->SetPaneIcon(CMPSBarWithAnimation::LinkPane,
                                 connected ? m_iconConnected : m_iconDisconnected, iconName);
    const QString port = FromUtf8(Options().GetPort());
    m_statusBar->SetPaneToolTip(CMPSBarWithAnimation::LinkPane,
                                !connected    ? Text(MessageText::LinkDown).arg(port, LinkProblemText())
                                : m_importing ? Text(MessageText::LinkImporting).arg(port)
                                              : Text(MessageText::LinkConnected).arg(port));
    QString current;
    const QString displayed = FromUtf8(m_history.DisplayedTitle());
    if (m_statusBar->GetPaneText(CMPSBarWithAnimation::DisplayedPane, current) && current != displayed)
        m_statusBar->SetPaneText(CMPSBarWithAnimation::DisplayedPane, displayed);
    const QString recording = FromUtf8(m_history.RecordingTitle());
    if (m_statusBar->GetPaneText(CMPSBarWithAnimation::RecordingPane, current) && current != recording)
        m_statusBar->SetPaneText(CMPSBarWithAnimation::RecordingPane, recording);
}

void CMainFrame::OnCommand(int id) {
    try {
        switch (id) {
        case Command::FileExit:
            OnFileExit();
            break;
        case Command::ExtrasOptions:
            OnExtrasOptions();
            break;
        case Command::About:
            OnAbout();
            break;
        case Command::DataImport:
            OnDataImport();
            break;
        case Command::DataChart:
            ShowChart(!IsChartShown());
            break;
        case Command::DataStatistics:
            ShowStatistics(!IsStatisticsShown());
            break;
        default:
            // Print and Export act on the statistics while they are shown.
            if (!(IsStatisticsShown() && m_statistics->OnCommand(id)))
                m_view->OnCommand(id);
            break;
        }
    } catch (const std::exception& e) {
        Log().Log(10, "%s", e.what());
    }
}

void CMainFrame::OnFileExit() {
    close();
}

void CMainFrame::OnExtrasOptions() {
    if (!m_optionsDialog)
        return;
    ApplyOptionsChanges(m_optionsDialog(*this));
}

void CMainFrame::ApplyOptionsChanges(const OptionsChange& changes) {
    if (changes.language) {
        UseQtTranslations(Options().GetLanguageID());
        BuildMenu();
        UpdateToolTips();
        UpdateTitle();
        UpdateViewToggles();
    }
    if (changes.port) {
        StopReading();
        StopHWManager();
        StartHWManager();
        StartReading();
        UpdateStatusBar(); // show the new port's state now, not at the next tick
    }
    if (changes.Any())
        emit OptionsChanged(changes);
}

void CMainFrame::ShowChart(bool show) {
    ShowView(show ? static_cast<QWidget*>(m_chart) : m_view);
}

bool CMainFrame::IsChartShown() const {
    return m_views->currentWidget() == m_chart;
}

void CMainFrame::ShowStatistics(bool show) {
    ShowView(show ? static_cast<QWidget*>(m_statistics) : m_view);
}

bool CMainFrame::IsStatisticsShown() const {
    return m_views->currentWidget() == m_statistics;
}

void CMainFrame::ShowView(QWidget* view) {
    if (view != m_view)
        m_view->CancelEdit();
    m_views->setCurrentWidget(view);
    UpdateViewToggles();
}

// The menu entries and the toolbar buttons show whether the chart or the statistics are up.
void CMainFrame::UpdateViewToggles() {
    if (!m_views)
        return;
    for (QAction* action : findChildren<QAction*>()) {
        const int id = action->data().toInt();
        if ((id == Command::DataChart || id == Command::DataStatistics) && action->shortcut().isEmpty()) {
            action->setCheckable(true);
            action->setChecked(id == Command::DataChart ? IsChartShown() : IsStatisticsShown());
        }
    }
}

void CMainFrame::OnAbout() {
    if (m_aboutDialog)
        m_aboutDialog(*this);
}

QString CMainFrame::LinkProblemText() const {
    if (!m_linkProblem.isEmpty())
        return m_linkProblem;
    return m_link.IsRunning() ? QStringLiteral("no answer yet") : QStringLiteral("the link is not running");
}

void CMainFrame::OnDataImport() {
    if (!m_link.IsRunning() || m_failedPings != 0) {
        ShowUserMessage(this, MessageKind::Warning,
                        Text(MessageText::NoStation).arg(FromUtf8(Options().GetPort()), LinkProblemText()));
        return;
    }
    RunImport([this] {
        if (m_importDialog)
            m_importDialog(*this);
    });
}

void CMainFrame::RunImport(const std::function<void()>& runDialog) {
    StopReading();
    m_importing = true;
    UpdateStatusBar();
    const auto resume = [this] {
        m_importing = false;
        StartReading();
        UpdateStatusBar();
    };
    try {
        runDialog();
    } catch (...) {
        resume();
        throw;
    }
    resume();
}

void CMainFrame::OnStoreChanged() {
    try {
        UpdateStatusBar();
        emit HistoryChanged();
    } catch (const std::exception& e) {
        Log().Log(10, "%s", e.what());
    }
}

void CMainFrame::OnTransmittersChanged() {
    try {
        m_view->BuildColumns();
        m_chart->Invalidate(); // an empty history shows the station's transmitters
    } catch (const std::exception& e) {
        Log().Log(10, "%s", e.what());
    }
}

void CMainFrame::OnDestroy() {
    if (m_destroyed)
        return;
    m_destroyed = true;
    AbortCurrentRequest();
    StopHWManager();
}

void CMainFrame::AbortCurrentRequest() {
    try {
        m_link.CurrentRequest()->Abort();
    } catch (const std::exception&) {
        // no request in the list
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    m_view->CancelEdit();
    OnDestroy();
    event->accept();
    emit Closed();
}
