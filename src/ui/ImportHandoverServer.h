#pragma once

#include "station/ImportHandover.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <list>
#include <memory>

class CMainFrame;
class HandoverListener;
class QSocketNotifier;

// Takes the imports other programs of this user hand over while the main window holds the
// station's port (the hourly command-line import): listens on the station's socket while the
// link runs, runs each request as the window's own import once the window is free, one at a time,
// and answers with its result.
class ImportHandoverServer : public QObject {
    Q_OBJECT
public:
    // Runs one handed-over import as the window's own and says what came of it.
    using RunImport = std::function<HandoverResult(const HandoverRequest&)>;
    // How often a waiting request looks whether the window is free.
    static constexpr int RetryMs = 200;

    ImportHandoverServer(CMainFrame& frame, RunImport run);
    ~ImportHandoverServer() override;

    // Listens on the socket of the station the link runs on now, or nowhere when it stopped.
    void FollowLink();
    // The socket listened on ("" when none).
    QString SocketPath() const;

private:
    struct Client;
    void Accept();
    void Read(Client& client);
    void RunWaiting();
    // Why the window cannot take an import now ("" when it can).
    std::string BusyReason() const;
    void Drop(Client& client);

    CMainFrame& m_frame;
    RunImport m_run;
    std::unique_ptr<HandoverListener> m_listener;
    QSocketNotifier* m_accept = nullptr;
    std::list<std::unique_ptr<Client>> m_clients;
    QTimer m_retry;
    bool m_running = false;
};
