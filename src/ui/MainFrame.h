#pragma once

#include "hw/RequestObserver.h"
#include "ui/OptionsChange.h"

#include <QIcon>
#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

class CChartPanel;
class CDataView;
class CMPSBarWithAnimation;
class CStatisticsPanel;
class HistoryAccess;
class QueuedCalls;
class RequestSignals;
class QStackedWidget;
class QToolBar;
class StationLink;

// The program's main window and controller: menus in the chosen language, toolbar, status bar,
// the history table, the station link with its five-second ping cycle, and the reactions to
// history changes and to a new transmitter count.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int PingInterval = 5000;

    // Builds the window, reads the recording history, starts the station link and sends the
    // first ping at once.
    CMainFrame(HistoryAccess& history, StationLink& link, QWidget* parent = nullptr);
    ~CMainFrame() override;

    void StartHWManager();
    void StopHWManager();
    void StartReading();
    void StopReading();
    bool PingTransmitters();
    void UpdateStatusBar();
    void UpdateTitle();
    // Steps of the options command after its dialog reported these changes; the views follow
    // through OptionsChanged.
    void ApplyOptionsChanges(const OptionsChange& changes);

    // Runs a menu command: the frame's own (Exit, Options, About, Import) or the view's.
    void OnCommand(int id);
    // Runs an import through runDialog as the Import command does: the pings pause, the link
    // pane shows the import, and the pings resume afterwards.
    void RunImport(const std::function<void()>& runDialog);
    bool IsImporting() const { return m_importing; }

    // The dialogs the commands open are plugged in here; a command without its dialog does nothing.
    // The options dialog returns what changed (nothing when cancelled).
    void SetOptionsDialog(std::function<OptionsChange(CMainFrame&)> dialog) {
        m_optionsDialog = std::move(dialog);
    }
    void SetImportDialog(std::function<void(CMainFrame&)> dialog) { m_importDialog = std::move(dialog); }
    void SetAboutDialog(std::function<void(CMainFrame&)> dialog) { m_aboutDialog = std::move(dialog); }

    CDataView* View() const { return m_view; }
    CChartPanel* Chart() const { return m_chart; }
    // The chart in place of the table (the Data menu's toggle), or the table again.
    void ShowChart(bool show);
    bool IsChartShown() const;
    CStatisticsPanel* Statistics() const { return m_statistics; }
    // The statistics in place of the table (the Data menu's toggle), or the table again.
    void ShowStatistics(bool show);
    bool IsStatisticsShown() const;
    CMPSBarWithAnimation* StatusBar() const { return m_statusBar; }
    QToolBar* ToolBar() const { return m_toolBar; }
    StationLink& Link() { return m_link; }
    HistoryAccess& History() { return m_history; }
    bool IsPolling() const { return m_timer.isActive(); }
    int FailedPings() const { return m_failedPings; }
    // Why no station answers ("" while one does): the link's start failure or the last ping's.
    QString LinkProblem() const { return m_linkProblem; }
    // The language whose menu is shown (1033 when LanguageID has none).
    std::uint16_t MenuLanguage() const { return m_menuLanguage; }
    // What this window's requests (the pings) report to.
    RequestObserverRef Observer() const;

signals:
    // The window was closed and the link stopped; the entry ends the program with exit code 1.
    void Closed();
    // The link was started or stopped (on a port that may be another one now).
    void LinkChanged();
    // The options command changed these; the table, chart and statistics are connected.
    void OptionsChanged(const OptionsChange& changes);
    // A history store changed (an import appended, another process rewrote the file shown); the
    // table, chart and statistics are connected.
    void HistoryChanged();

public slots:
    void OnFileExit();
    void OnExtrasOptions();
    void OnAbout();
    void OnDataImport();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenu();
    void BuildToolBar();
    void UpdateToolTips();
    void OnTimer();
    void OnWorkFinished(const RequestOutcome& outcome);
    void OnTransmittersChanged();
    void OnStoreChanged();
    void OnDestroy();
    void AbortCurrentRequest();
    QAction* MakeCommandAction(int id, QObject* parent);
    QString LinkProblemText() const;
    void ShowView(QWidget* view);
    void UpdateViewToggles();

    HistoryAccess& m_history;
    StationLink& m_link;
    RequestSignals* m_requests = nullptr;
    std::shared_ptr<QueuedCalls> m_storeChanges; // a store's change, from whichever thread made it
    CDataView* m_view = nullptr;
    CChartPanel* m_chart = nullptr;
    CStatisticsPanel* m_statistics = nullptr;
    QStackedWidget* m_views = nullptr;
    CMPSBarWithAnimation* m_statusBar = nullptr;
    QToolBar* m_toolBar = nullptr;
    std::map<int, QAction*> m_toolActions;
    std::uint16_t m_menuLanguage = 1033;
    QIcon m_iconConnected;
    QIcon m_iconDisconnected;
    int m_failedPings = 0;
    bool m_importing = false;
    QString m_linkProblem;
    QTimer m_timer;
    bool m_destroyed = false;
    std::function<OptionsChange(CMainFrame&)> m_optionsDialog;
    std::function<void(CMainFrame&)> m_importDialog;
    std::function<void(CMainFrame&)> m_aboutDialog;
};
