#include "CliFixture.h"

#include "station/ImportHandover.h"
#include "station/ImportHandoverSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cstdlib>
#include <cstring>
#include <thread>

namespace fs = std::filesystem;

namespace {

// Another program at the station's socket, speaking for a desktop program: it takes one request
// and answers with the given text (nothing: it ends without an answer).
class FakeDesktop {
public:
    FakeDesktop(const fs::path& socket, std::string answer)
        : m_listener(socket), m_thread([this, answer = std::move(answer)] { Serve(answer); }) {}
    ~FakeDesktop() { m_thread.join(); }
    std::optional<HandoverRequest> request;

private:
    void Serve(const std::string& answer) {
        pollfd waiting{m_listener.Fd(), POLLIN, 0};
        if (::poll(&waiting, 1, 30000) != 1)
            return;
        const int fd = m_listener.Accept();
        std::string buffer;
        while (!request) {
            pollfd readable{fd, POLLIN, 0};
            char chunk[512];
            ssize_t got = 0;
            if (::poll(&readable, 1, 30000) != 1 || (got = ::recv(fd, chunk, sizeof(chunk), 0)) <= 0)
                break;
            buffer.append(chunk, std::size_t(got));
            request = TakeHandoverRequest(buffer);
        }
        SendAll(fd, answer);
        ::close(fd);
    }

    HandoverListener m_listener;
    std::thread m_thread;
};

std::string Reply(const HandoverReply& reply) {
    return EncodeHandoverReply(reply);
}

class DesktopImportTest : public CliTest {
protected:
    void SetUp() override {
        fs::create_directory(Path("run"));
        ::chmod(Path("run").c_str(), 0700);
        if (const char* old = std::getenv("XDG_RUNTIME_DIR"))
            m_oldRuntime = old;
        ::setenv("XDG_RUNTIME_DIR", Path("run").c_str(), 1); // the command line inherits it
        CreateImage("station.img", 3, 20);
    }
    void TearDown() override {
        if (m_oldRuntime)
            ::setenv("XDG_RUNTIME_DIR", m_oldRuntime->c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
    }
    std::string Port() const { return "sim:" + Path("station.img").string(); }
    fs::path Socket() const { return HandoverSocketPath(Port()).value(); }

    std::optional<std::string> m_oldRuntime;
};

} // namespace

TEST_F(DesktopImportTest, TheDesktopsAnswerIsTheCommandsResult) {
    ImportSummary summary;
    summary.parsed = 7;
    summary.appended = 7;
    summary.newReadIndex = 26;
    summary.bytesRead = 448;
    const struct {
        const char* name;
        std::string answer;
        int exitCode;
        std::string out; // on standard output
        std::string err; // on standard error
    } cases[] = {
        {"imported after a wait",
         Reply(HandoverWaiting{"the desktop program is importing; this import follows"}) +
             Reply(HandoverResult{HandoverResult::Kind::Imported, summary, {}}),
         0, "Appended:                  7\n", "nivaro-cli: waiting: the desktop program is importing"},
        {"import failed",
         Reply(HandoverResult{HandoverResult::Kind::Failed, {}, "write failed: File too large"}), 2, "",
         "failed: write failed: File too large"},
        {"refused", Reply(HandoverResult{HandoverResult::Kind::Refused, {}, "it records into '/h.nvh'"}), 2,
         "", "did not run the import: it records into '/h.nvh'"},
        {"ended during the import", "", 2, "", "ended before it finished the import"},
        {"another version", "nivaro-import 2\nresult imported\nend\n", 2, "", "cannot take the import"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<HandoverRequest> request;
        CliResult r;
        {
            FakeDesktop desktop(Socket(), c.answer);
            r = Run({"--port", Port(), "import", "--all"});
            request = desktop.request;
        }
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        ASSERT_TRUE(request);
        EXPECT_EQ(fs::path(request->historyFile), Path("history.nvh"));
        EXPECT_TRUE(request->all);
        EXPECT_FALSE(Exists("history.nvh")); // the command itself imported nothing
    }
}

TEST_F(DesktopImportTest, ASocketLeftByADesktopThatEndedIsPassedBy) {
    fs::create_directories(Socket().parent_path());
    const int left = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, Socket().c_str());
    ASSERT_EQ(::bind(left, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(left);

    const CliResult r = Run({"--port", Port(), "import"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Appended:                  20\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err.find("held by"), std::string::npos) << r.err;
    EXPECT_EQ(fs::file_size(Path("history.nvh")), 20u * 56u);
}
