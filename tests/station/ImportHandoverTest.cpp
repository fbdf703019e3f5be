#include "station/ImportHandover.h"
#include "station/ImportHandoverSocket.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cstring>

namespace fs = std::filesystem;

namespace {

HandoverResult Result(const std::string& encoded) {
    std::string buffer = encoded;
    const std::optional<HandoverReply> reply = TakeHandoverReply(buffer);
    EXPECT_TRUE(buffer.empty());
    return std::get<HandoverResult>(reply.value());
}

} // namespace

TEST(ImportHandoverTest, RequestsAndRepliesReadBackAsWritten) {
    for (const HandoverRequest& request :
         {HandoverRequest{"/home/a/history.nvh", false, false}, HandoverRequest{"/x y/h.nvh", true, false},
          HandoverRequest{"/h.nvh", true, true}}) {
        std::string buffer = EncodeHandoverRequest(request);
        const std::optional<HandoverRequest> read = TakeHandoverRequest(buffer);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->historyFile, request.historyFile);
        EXPECT_EQ(read->whole, request.whole);
        EXPECT_EQ(read->all, request.all);
    }

    ImportSummary summary;
    summary.parsed = 40;
    summary.known = 3;
    summary.appended = 37;
    summary.damaged = 1;
    summary.damagedValues = 2;
    summary.newestLeft = true;
    summary.newReadIndex = 0; // slot 0 is a position, not "unchanged"
    summary.bytesRead = 4096;
    summary.layoutChange = "the station now has 3 transmitters";
    const HandoverResult imported =
        Result(EncodeHandoverReply(HandoverResult{HandoverResult::Kind::Imported, summary, {}}));
    EXPECT_EQ(imported.kind, HandoverResult::Kind::Imported);
    EXPECT_EQ(imported.summary.parsed, 40);
    EXPECT_EQ(imported.summary.known, 3);
    EXPECT_EQ(imported.summary.appended, 37);
    EXPECT_EQ(imported.summary.damaged, 1);
    EXPECT_EQ(imported.summary.damagedValues, 2);
    EXPECT_TRUE(imported.summary.newestLeft);
    EXPECT_EQ(imported.summary.newReadIndex, std::optional<int>(0));
    EXPECT_EQ(imported.summary.bytesRead, 4096u);
    EXPECT_EQ(imported.summary.layoutChange, summary.layoutChange);
    EXPECT_FALSE(Result(EncodeHandoverReply(HandoverResult{HandoverResult::Kind::Imported, {}, {}}))
                     .summary.newReadIndex);

    // A reason stays one line, whatever it held.
    const HandoverResult failed = Result(EncodeHandoverReply(
        HandoverResult{HandoverResult::Kind::Failed, {}, "write failed:\nFile too large"}));
    EXPECT_EQ(failed.kind, HandoverResult::Kind::Failed);
    EXPECT_EQ(failed.reason, "write failed: File too large");
    EXPECT_EQ(
        Result(EncodeHandoverReply(HandoverResult{HandoverResult::Kind::Refused, {}, "other file"})).kind,
        HandoverResult::Kind::Refused);
}

TEST(ImportHandoverTest, MessagesAreTakenWholeAndOneAtATime) {
    const std::string waiting = EncodeHandoverReply(HandoverWaiting{"the desktop program is importing"});
    const std::string done = EncodeHandoverReply(HandoverResult{HandoverResult::Kind::Imported, {}, {}});
    const std::string stream = waiting + done;
    // Cut anywhere, the part before the cut never yields more than the messages it holds whole.
    for (std::size_t cut = 0; cut < stream.size(); ++cut) {
        std::string buffer = stream.substr(0, cut);
        int taken = 0;
        while (TakeHandoverReply(buffer))
            ++taken;
        EXPECT_EQ(taken, int(cut >= waiting.size())) << "cut at " << cut;
    }
    std::string buffer = stream;
    const auto first = TakeHandoverReply(buffer);
    ASSERT_TRUE(first);
    EXPECT_EQ(std::get<HandoverWaiting>(*first).reason, "the desktop program is importing");
    EXPECT_EQ(buffer, done);
}

TEST(ImportHandoverTest, UnknownKeysAreSkippedAndOtherVersionsRefused) {
    std::string newer = "nivaro-import 1\nresult imported\nappended 5\ncolour blue\nend\n";
    EXPECT_EQ(std::get<HandoverResult>(*TakeHandoverReply(newer)).summary.appended, 5);

    const struct {
        const char* name;
        std::string text;
    } refused[] = {{"another version", "nivaro-import 2\nresult imported\nend\n"},
                   {"another protocol", "GET / HTTP/1.0\nend\n"},
                   {"no result", "nivaro-import 1\nappended 5\nend\n"}};
    for (const auto& c : refused) {
        std::string buffer = c.text;
        EXPECT_THROW(TakeHandoverReply(buffer), HandoverError) << c.name;
    }
    std::string noHistory = "nivaro-import 1\nwhole 1\nend\n";
    EXPECT_THROW(TakeHandoverRequest(noHistory), HandoverError);
}

TEST(ImportHandoverTest, TheSocketFolderIsTheUsersRuntimeFolder) {
    EXPECT_EQ(HandoverFolder("/run/user/1000", 1000), fs::path("/run/user/1000/nivaro"));
    EXPECT_EQ(HandoverFolder(nullptr, 1000), fs::path("/tmp/nivaro-1000"));
    EXPECT_EQ(HandoverFolder("", 7), fs::path("/tmp/nivaro-7"));
    EXPECT_EQ(HandoverFolder("relative", 7), fs::path("/tmp/nivaro-7"));
}

TEST(ImportHandoverTest, OneStationHasOneKeyWhateverItsName) {
    TempDir dir;
    WriteWholeFile(dir / "station.img", std::string(16, '\0'));
    fs::create_symlink(dir / "station.img", dir / "link.img");
    const auto key = StationKey("sim:" + (dir / "station.img").string());
    ASSERT_TRUE(key);
    EXPECT_EQ(StationKey("sim:" + (dir / "link.img").string()), key);
    EXPECT_EQ(StationKey("sim:" + (dir / "station.img").string() + "?adapter=usb"), key);
    {
        CurrentDirectory here(dir.path());
        EXPECT_EQ(StationKey("sim:station.img"), key);
    }
    // A save replaces the image with a new file: still the same station.
    WriteWholeFile(dir / "saved.img", std::string(16, '\1'));
    fs::rename(dir / "saved.img", dir / "station.img");
    EXPECT_EQ(StationKey("sim:" + (dir / "station.img").string()), key);
    WriteWholeFile(dir / "other.img", std::string(16, '\0'));
    EXPECT_NE(StationKey("sim:" + (dir / "other.img").string()), key);
    // Nothing two programs could share, or nothing there.
    EXPECT_FALSE(StationKey("sim"));
    EXPECT_FALSE(StationKey("sim:" + (dir / "missing.img").string()));
    EXPECT_FALSE(StationKey((dir / "station.img").string())); // a file is no serial device
    EXPECT_FALSE(StationKey("/dev/ttyUSB-none"));
}

TEST(ImportHandoverTest, AListenerReplacesALeftSocketButNotALiveOne) {
    TempDir dir;
    const fs::path path = dir / "run" / "import-x.sock";
    // A socket file of a program that ended: bound, never removed.
    fs::create_directory(dir / "run");
    fs::permissions(dir / "run", fs::perms::owner_all);
    {
        const int left = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path.c_str());
        ASSERT_EQ(::bind(left, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        ::close(left);
    }
    EXPECT_EQ(ConnectToHandover(path), -1);
    {
        HandoverListener listener(path);
        struct stat status {};
        ASSERT_EQ(::lstat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0600u); // this user's alone
        const int client = ConnectToHandover(path);
        ASSERT_GE(client, 0);
        EXPECT_GE(listener.Accept(), 0);
        EXPECT_EQ(PeerProcess(client), ::getpid());
        ::close(client);
        EXPECT_THROW(HandoverListener second(path), std::runtime_error);
        // A socket file of another user is not talked to (only root can make one here).
        if (::chown(path.c_str(), ::getuid() + 1, ::getgid()) == 0) {
            EXPECT_EQ(ConnectToHandover(path), -1);
            ASSERT_EQ(::chown(path.c_str(), ::getuid(), ::getgid()), 0);
        }
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(path))); // the listener took its socket along
    EXPECT_EQ(ConnectToHandover(path), -1);

    // A folder others may enter is not used.
    fs::permissions(dir / "run", fs::perms::owner_all | fs::perms::others_exec);
    EXPECT_THROW(HandoverListener open(path), std::runtime_error);
}
