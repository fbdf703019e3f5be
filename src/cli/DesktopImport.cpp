#include "cli/DesktopImport.h"

#include "cli/CliFailure.h"
#include "cli/CliSession.h"
#include "cli/InterruptWatch.h"
#include "cli/StationCommands.h"
#include "station/ImportHandover.h"
#include "station/ImportHandoverSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace fs = std::filesystem;

namespace {

class Connection {
public:
    explicit Connection(int fd) : m_fd(fd) {}
    ~Connection() { ::close(m_fd); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

// Reads the desktop's answers until its result; tells the waits on the way.
HandoverResult AwaitResult(int fd, const std::string& desktop) {
    InterruptWatch interrupts;
    std::string buffer;
    for (;;) {
        if (interrupts.Poll())
            throw CliFailure("import interrupted; " + desktop + " goes on with it", ExitInterrupted);
        pollfd wanted{fd, POLLIN, 0};
        const int ready = ::poll(&wanted, 1, 50);
        if (ready < 0 && errno != EINTR)
            throw CliFailure("the connection to " + desktop + " failed: " + std::strerror(errno));
        if (ready <= 0)
            continue;
        char chunk[4096];
        const ssize_t got = ::recv(fd, chunk, sizeof(chunk), 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            throw CliFailure(desktop + " ended before it finished the import; the station keeps what was not "
                                       "yet on disk: run the import again");
        buffer.append(chunk, std::size_t(got));
        try {
            while (const std::optional<HandoverReply> reply = TakeHandoverReply(buffer)) {
                if (const auto* waiting = std::get_if<HandoverWaiting>(&*reply)) {
                    std::cerr << "nivaro-cli: waiting: " << waiting->reason << std::endl;
                    continue;
                }
                return std::get<HandoverResult>(*reply);
            }
        } catch (const HandoverError& e) {
            throw CliFailure(desktop + " cannot take the import: " + e.what() +
                             " (a different version; close it or update both)");
        }
    }
}

} // namespace

std::optional<int> ImportThroughDesktop(const CliSession& session, const ImportArgs& args) {
    const std::string port = session.Port();
    const std::optional<fs::path> socket = HandoverSocketPath(port);
    if (!socket)
        return std::nullopt;
    const int fd = ConnectToHandover(*socket);
    if (fd < 0)
        return std::nullopt;
    Connection connection(fd);
    const std::string desktop = "the desktop program (process " + std::to_string(PeerProcess(fd)) + ")";
    HandoverRequest request;
    request.historyFile = fs::absolute(session.HistoryFile()).string();
    request.whole = args.whole;
    request.all = args.all;
    if (!SendAll(fd, EncodeHandoverRequest(request)))
        return std::nullopt; // it ended just now: the port is free again
    std::cerr << "nivaro-cli: port " << Quoted(port) << " is held by " << desktop << "; it runs the import"
              << std::endl;

    const HandoverResult result = AwaitResult(fd, desktop);
    switch (result.kind) {
    case HandoverResult::Kind::Imported:
        PrintImportSummary(std::cout, result.summary);
        return ExitSuccess;
    case HandoverResult::Kind::Failed:
        throw CliFailure("import from port " + Quoted(port) + " failed: " + result.reason);
    case HandoverResult::Kind::Refused:
        break;
    }
    throw CliFailure(desktop + " holds port " + Quoted(port) +
                     " and did not run the import: " + result.reason);
}
