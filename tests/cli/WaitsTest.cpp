#include "CliFixture.h"
#include "FileSizeLimit.h"

#include "../history/HistoryTestSupport.h"
#include "history/HistoryData.h"
#include "history/HistoryFileLock.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// nivaro-cli running in dir with its standard output and error on pipes the test reads (or not).
struct RunningCli {
    pid_t pid = -1;
    int out = -1, err = -1;

    RunningCli(const std::filesystem::path& dir, std::vector<std::string> args) {
        int outPipe[2], errPipe[2];
        if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0)
            return;
        args.insert(args.begin(), NIVARO_CLI_PATH);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid = ::fork();
        if (pid == 0) {
            if (::chdir(dir.c_str()) != 0)
                ::_exit(126);
            ::dup2(outPipe[1], 1);
            ::dup2(errPipe[1], 2);
            ::close(outPipe[0]);
            ::close(errPipe[0]);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(outPipe[1]);
        ::close(errPipe[1]);
        out = outPipe[0];
        err = errPipe[0];
    }
    ~RunningCli() {
        ::close(out);
        ::close(err);
    }
    // Reads fd until the text has come (or the pipe ends); all that was read.
    static std::string ReadUntil(int fd, const std::string& text) {
        std::string read;
        char buffer[4096];
        while (read.find(text) == std::string::npos) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got <= 0)
                break;
            read.append(buffer, std::size_t(got));
        }
        return read;
    }
    int Wait() {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
};

} // namespace

// An export into a pipe nobody reads (a pager left open) holds no lock: the hourly import can
// append meanwhile, and the export still ends with what it counted at its start.
TEST_F(CliTest, AnExportIntoAnUnreadPipeHoldsNoLock) {
    std::vector<CDataset> measured;
    for (int i = 0; i < 5000; ++i) {
        measured.push_back(MakeDataset(2005, 1, 17, 14, 5));
        measured.back().SetDateTime(CDateTime(measured.back().GetDateTime().Value() + i * 5 / 1440.0));
    }
    ASSERT_TRUE(CHistoryData().Append(Path("history.nvh"), measured));
    RunningCli exporting(dir.path(), {"export"});
    ASSERT_GT(exporting.pid, 0);
    RunningCli::ReadUntil(exporting.out, "\r\n"); // the export is writing: its first pass is done
    CHistoryData writer;
    EXPECT_TRUE(writer.Append(Path("history.nvh"), {MakeDataset(2006, 1, 1, 0, 0)}));
    const std::string rest = RunningCli::ReadUntil(exporting.out, "never comes");
    EXPECT_EQ(exporting.Wait(), 0);
    EXPECT_EQ(rest.find("01.01.2006"), std::string::npos);
    EXPECT_GT(std::count(rest.begin(), rest.end(), '\n'), 4000);
}

// An import that finds the history file held waits, says by whom, and Ctrl+C stops it with the
// history file and the station as they were.
TEST_F(CliTest, AnImportWaitingForTheHistoryFileIsInterruptible) {
    CreateImage("st.img", 3, 20);
    ASSERT_TRUE(CHistoryData().Append(Path("history.nvh"), Series(3)));
    const std::string image = Read("st.img"), history = Read("history.nvh");
    const HistoryFileLock held =
        HistoryFileLock::Acquire(Path("history.nvh"), HistoryFileLock::Mode::Exclusive, false);
    ASSERT_TRUE(held.Held());
    RunningCli importing(dir.path(), {"--port", "sim:st.img", "import"});
    ASSERT_GT(importing.pid, 0);
    const std::string waiting = RunningCli::ReadUntil(importing.err, "\n");
    EXPECT_NE(waiting.find("it is in use by test_cli (process " + std::to_string(::getpid()) + ")"),
              std::string::npos)
        << waiting;
    ::kill(importing.pid, SIGINT);
    const std::string said = RunningCli::ReadUntil(importing.err, "never comes");
    EXPECT_EQ(importing.Wait(), 130) << said;
    EXPECT_EQ(Read("history.nvh"), history);
    EXPECT_EQ(Read("st.img"), image);
}

// A FIFO where a file is expected is refused at once instead of waiting for a writer.
TEST_F(CliTest, AFifoIsRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    CreateImage("st.img", 3, 20);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--history", "fifo", "show"},
                                               {"--history", "fifo", "export"},
                                               {"--history", "fifo", "stats", "--by", "day"},
                                               {"--port", "sim:st.img", "--history", "fifo", "import"},
                                               {"--options", "fifo", "show"}}) {
        const CliResult r = Run(args);
        EXPECT_EQ(r.exitCode, 2) << args[2];
        ExpectOneErrorLine(r, "fifo' is not a regular file");
    }
}

// A history file that cannot grow: the import says why, not only that it failed, and the station
// keeps its read position.
TEST_F(CliTest, AFailedAppendSaysWhy) {
    CreateImage("st.img", 3, 20);
    std::vector<CDataset> measured;
    for (int i = 0; i < 700; ++i)
        measured.push_back(MakeDataset(2004, 1, 1 + i / 288, i % 288 / 12, i % 12 * 5));
    ASSERT_TRUE(CHistoryData().Append(Path("history.nvh"), measured));
    const std::string image = Read("st.img"), history = Read("history.nvh");
    CliResult r;
    {
        // A full disk the test can make anywhere: the history may not grow past 40000 bytes.
        const FileSizeLimit full(40000);
        r = Run({"--port", "sim:st.img", "import"});
    }
    EXPECT_EQ(r.exitCode, 2);
    ExpectOneErrorLine(r, ": File too large");
    EXPECT_EQ(Read("history.nvh"), history);
    EXPECT_EQ(Read("st.img"), image);
}

// A history larger than the memory the program may take is refused with the reason, not with an
// allocator's exception text.
TEST_F(CliTest, NotEnoughMemoryIsSaidWithTheRecordCount) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
#endif
    WriteWholeFile(Path("history.nvh"), "");
    std::filesystem::resize_file(Path("history.nvh"), 4'000'000'000); // sparse: no disk space taken
    rlimit old{};
    ::getrlimit(RLIMIT_AS, &old);
    const rlimit limited{1'000'000'000, old.rlim_max}; // inherited by the program started next
    ::setrlimit(RLIMIT_AS, &limited);
    const CliResult r = Run({"show"});
    ::setrlimit(RLIMIT_AS, &old);
    EXPECT_EQ(r.exitCode, 2);
    ExpectOneErrorLine(r,
                       "not enough memory to read '" + Path("history.nvh").string() + "' (71428571 records)");
}
