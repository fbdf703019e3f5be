#include "ui/ImportHandoverServer.h"

#include "log/Logger.h"
#include "settings/Options.h"
#include "station/ImportHandoverSocket.h"
#include "ui/MainFrame.h"
#include "ui/StationLink.h"

#include <QApplication>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace {

CLogger& Log() {
    return CLogger::Instance();
}

// A request is a few hundred bytes; more is not one of ours.
constexpr std::size_t MaxRequestBytes = 64 * 1024;

} // namespace

struct ImportHandoverServer::Client {
    int fd = -1;
    pid_t process = 0;
    std::unique_ptr<QSocketNotifier> notifier;
    std::string buffer;
    std::optional<HandoverRequest> request;
    std::string waitingTold; // the last reason to wait the program was told
    ~Client() {
        notifier.reset();
        ::close(fd);
    }
};

ImportHandoverServer::ImportHandoverServer(CMainFrame& frame, RunImport run)
    : QObject(&frame), m_frame(frame), m_run(std::move(run)) {
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &ImportHandoverServer::RunWaiting);
    FollowLink();
}

ImportHandoverServer::~ImportHandoverServer() = default;

void ImportHandoverServer::FollowLink() {
    std::optional<std::filesystem::path> wanted;
    if (m_frame.Link().IsRunning())
        wanted = HandoverSocketPath(Options().GetPort());
    if (m_listener && wanted && m_listener->Path() == *wanted)
        return;
    delete m_accept;
    m_accept = nullptr;
    m_listener.reset();
    if (!wanted)
        return;
    try {
        m_listener = std::make_unique<HandoverListener>(*wanted);
    } catch (const std::exception& e) {
        // The window works as before; a command-line import then finds the port held.
        Log().Log(10, "Imports of other programs are not taken: %s", e.what());
        return;
    }
    m_accept = new QSocketNotifier(m_listener->Fd(), QSocketNotifier::Read, this);
    connect(m_accept, &QSocketNotifier::activated, this, &ImportHandoverServer::Accept);
    Log().Log(30, "Taking imports of other programs at %s", m_listener->Path().c_str());
}

QString ImportHandoverServer::SocketPath() const {
    return m_listener ? QString::fromStdString(m_listener->Path().string()) : QString();
}

void ImportHandoverServer::Accept() {
    if (!m_listener)
        return;
    for (int fd; (fd = m_listener->Accept()) >= 0;) {
        auto client = std::make_unique<Client>();
        client->fd = fd;
        client->process = PeerProcess(fd);
        client->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        Client* raw = client.get();
        connect(client->notifier.get(), &QSocketNotifier::activated, this, [this, raw] { Read(*raw); });
        m_clients.push_back(std::move(client));
    }
}

void ImportHandoverServer::Read(Client& client) {
    char chunk[4096];
    const ssize_t got = ::recv(client.fd, chunk, sizeof(chunk), 0);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
        Drop(client); // it went away before its request was complete
        return;
    }
    if (got < 0)
        return;
    client.buffer.append(chunk, std::size_t(got));
    try {
        client.request = TakeHandoverRequest(client.buffer);
    } catch (const HandoverError& e) {
        Log().Log(10, "Import request of process %d refused: %s", int(client.process), e.what());
        HandoverResult refused{HandoverResult::Kind::Refused, {}, e.what()};
        SendAll(client.fd, EncodeHandoverReply(refused));
        Drop(client);
        return;
    }
    if (!client.request) {
        if (client.buffer.size() > MaxRequestBytes)
            Drop(client);
        return;
    }
    // Nothing more is read from it: its entry stays until its answer is sent.
    client.notifier->setEnabled(false);
    Log().Log(30, "Import requested by process %d", int(client.process));
    RunWaiting();
}

std::string ImportHandoverServer::BusyReason() const {
    if (m_running || m_frame.IsImporting())
        return "the desktop program is importing; this import follows";
    if (QWidget* dialog = QApplication::activeModalWidget())
        return "the desktop program shows a dialog ('" + dialog->windowTitle().toStdString() +
               "'); the import follows when it is closed";
    return {};
}

void ImportHandoverServer::RunWaiting() {
    const auto next = std::find_if(m_clients.begin(), m_clients.end(),
                                   [](const auto& client) { return client->request.has_value(); });
    if (next == m_clients.end()) {
        m_retry.stop();
        return;
    }
    if (const std::string busy = BusyReason(); !busy.empty()) {
        for (auto& client : m_clients)
            if (client->request && client->waitingTold != busy) {
                client->waitingTold = busy;
                SendAll(client->fd, EncodeHandoverReply(HandoverWaiting{busy}));
            }
        if (!m_running) // a run under way looks again when it ends
            m_retry.start();
        return;
    }
    m_retry.stop();
    Client& client = **next;
    m_running = true;
    HandoverResult result;
    try {
        result = m_run(*client.request);
    } catch (const std::exception& e) {
        result = {HandoverResult::Kind::Failed, {}, e.what()};
    }
    m_running = false;
    Log().Log(30, "Import of process %d done: %s", int(client.process),
              result.kind == HandoverResult::Kind::Imported ? "imported" : result.reason.c_str());
    SendAll(client.fd, EncodeHandoverReply(result));
    Drop(client);
    if (std::any_of(m_clients.begin(), m_clients.end(), [](const auto& c) { return c->request.has_value(); }))
        m_retry.start();
}

void ImportHandoverServer::Drop(Client& client) {
    // Not while one of its own slots runs: the notifier goes later.
    client.notifier->setEnabled(false);
    client.notifier.release()->deleteLater();
    m_clients.remove_if([&](const auto& c) { return c.get() == &client; });
}
