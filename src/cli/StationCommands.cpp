#include "cli/StationCommands.h"

#include "cli/CliFailure.h"
#include "cli/CliSession.h"
#include "cli/DesktopImport.h"
#include "cli/HistoryCommands.h"
#include "cli/InterruptWatch.h"
#include "cli/PublishCommand.h"
#include "cli/ReportCommand.h"
#include "cli/RequestWaiter.h"
#include "history/HistoryFileLock.h"
#include "history/HistoryImportSink.h"
#include "history/HistoryWorkspace.h"
#include "hw/HWManager.h"
#include "platform/PortName.h"
#include "platform/SerialPortList.h"
#include "publish/Publisher.h"
#include "settings/OptionValues.h"
#include "station/HWRequestPingTransmitters.h"
#include "station/HWRequestReadRingBuffer.h"
#include "station/SimulatedStation.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <future>
#include <iostream>

namespace fs = std::filesystem;

namespace {

constexpr auto PollInterval = std::chrono::milliseconds(50);

// The history sink, with a test seam that interrupts once the datasets are on disk.
class CliImportSink : public HistoryImportSink {
public:
    CliImportSink(CHistoryData& store, fs::path file, std::function<void()> afterAppend)
        : HistoryImportSink(store, std::move(file)), m_afterAppend(std::move(afterAppend)) {}
    bool Store(const std::vector<CDataset>& datasets) override {
        const bool stored = HistoryImportSink::Store(datasets);
        if (stored && m_afterAppend)
            m_afterAppend();
        return stored;
    }

private:
    std::function<void()> m_afterAppend;
};

// What an interrupted import left behind: only an interrupt before the append leaves the history
// file as it was; after it the station still holds its old read position.
std::string InterruptedImportText(const ImportSummary& summary) {
    if (summary.appended == 0)
        return "import interrupted; the station and the history file are as they were";
    return "import interrupted; " + std::to_string(summary.appended) +
           " new datasets were appended to the history file, the station kept its read position "
           "(the next import finds them known)";
}

// No port in the options (none was present when they were made) and none given.
std::string NoPortChosenText() {
    std::string present;
    for (const std::string& port : PresentSerialPorts())
        present += (present.empty() ? "" : ", ") + port;
    return "no port is chosen: give --port, or choose it in the desktop program's options (Port in "
           "Nivaro.xml); present now: " +
           (present.empty() ? std::string("no serial adapter") : present) + "; sim is the built-in simulator";
}

// A started hardware manager; stopped (port closed, a simulator image written back) on every way out.
class RunningManager {
public:
    RunningManager(const CliSession& session, const StationPortWrap& wrap) : m_port(session.Port()) {
        // Only "sim create" makes a station: a mistyped image name must not import a new one's data.
        if (const fs::path image = session.StationImage(); !image.empty() && !fs::exists(image))
            throw CliFailure("no such station image " + Quoted(image.string()) +
                             " (make one with 'nivaro-cli sim create')");
        SimulatedStationSetup setup;
        setup.clock = session.SimulatorClock();
        setup.recordingIntervalMinutes = 0; // the station holds exactly what its image holds
        if (m_port.empty())
            throw CliFailure(NoPortChosenText());
        CI2CDriver::PortFactory ports = StationPortFactory(setup);
        if (wrap)
            ports = [ports, wrap](const std::string& name) { return wrap(ports(name)); };
        m_manager = std::make_unique<CHWManager>(std::move(ports));
        if (const StartResult started = m_manager->Start(m_port); !started)
            throw CliFailure("port " + Quoted(m_port) + " cannot be opened: " + started.failure);
    }
    ~RunningManager() { Stop(); }
    void Stop() {
        if (m_manager)
            m_manager->Stop();
    }
    CHWManager& operator*() { return *m_manager; }
    CHWManager* operator->() { return m_manager.get(); }
    const std::string& Port() const { return m_port; }

private:
    std::string m_port;
    std::unique_ptr<CHWManager> m_manager;
};

struct Ended {
    RequestOutcome outcome;
    int interrupt = 0; // the signal that asked for the abort
};

// Runs one request to its end, passing an interrupt to the request; the request reports to waiter.
Ended RunRequest(RunningManager& manager, const RequestWaiter& waiter, InterruptWatch& interrupts,
                 const std::shared_ptr<CHWRequest>& request, const std::function<void()>& onInterrupt = {}) {
    if (!manager->AddRequest(request))
        throw CliFailure("the hardware manager on port " + Quoted(manager.Port()) +
                         " did not take the request");
    Ended ended;
    while (!waiter.WaitFinished(PollInterval)) {
        if (ended.interrupt)
            continue; // the abort is on its way
        if (const int signal = interrupts.Poll()) {
            ended.interrupt = signal;
            request->Abort();
            HistoryFileLock::InterruptWaits(); // a wait for the history file ends as well
            if (onInterrupt)
                onInterrupt();
        }
    }
    ended.outcome = waiter.Outcome();
    manager->TakeRequest();
    manager.Stop();
    return ended;
}

// The history file must take the new datasets before the station is asked for them.
void CheckHistoryWritable(const fs::path& file) {
    std::error_code error;
    const auto status = fs::status(file, error);
    if (fs::exists(status)) {
        if (fs::is_directory(status))
            throw CliFailure("history file " + Quoted(file.string()) + " is a directory");
        if (!fs::is_regular_file(status)) // opening a FIFO would wait for a reader
            throw CliFailure("history file " + Quoted(file.string()) + " is not a regular file");
        const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd < 0)
            throw CliFailure("history file " + Quoted(file.string()) +
                             " cannot be written: " + std::strerror(errno));
        ::close(fd);
        return;
    }
    const fs::path directory = file.has_parent_path() ? file.parent_path() : fs::path(".");
    if (!fs::is_directory(directory, error) || ::access(directory.c_str(), W_OK | X_OK) != 0)
        throw CliFailure("history file " + Quoted(file.string()) + " cannot be created: " +
                         (fs::is_directory(directory, error) ? std::strerror(errno) : "no such directory"));
}

// Progress for a person watching, never for a pipe or a log.
class Progress {
public:
    Progress() : m_shown(::isatty(STDERR_FILENO) == 1) {}
    ~Progress() { Finish(); }
    // Bytes read so far, of those and the bytes of the current read: a routine import reads on
    // only as far as it needs, so the total grows while it reads.
    void Step(std::uint32_t done, std::uint32_t total) {
        if (!m_shown || total == 0)
            return;
        Show(std::to_string(done) + " of " + std::to_string(total) + " bytes");
        m_open = true;
    }
    void Finish() {
        if (m_open) {
            Show("done");
            std::cerr << std::endl;
        }
        m_open = false;
    }

private:
    void Show(const std::string& text) {
        const std::string line = "\rReading ring buffer: " + text;
        std::cerr << line << std::string(m_width > line.size() ? m_width - line.size() : 0, ' ')
                  << std::flush;
        m_width = line.size();
    }

    bool m_shown;
    bool m_open = false;
    std::size_t m_width = 0;
};

} // namespace

int RunPing(CliSession& session, const StationPortWrap& wrap) {
    InterruptWatch interrupts;
    auto waiter = std::make_shared<RequestWaiter>();
    RunningManager manager(session, wrap);
    auto request = std::make_shared<CHWRequestPingTransmitters>(waiter, TransmitterCountOption(Options()));
    const Ended ended = RunRequest(manager, *waiter, interrupts, request);
    if (ended.interrupt && ended.outcome.aborted)
        throw CliFailure("ping interrupted", ExitInterrupted);
    if (!ended.outcome.succeeded)
        throw CliFailure("station on port " + Quoted(manager.Port()) +
                         " does not answer: " + ended.outcome.message);
    std::cout << request->NrOfTransmitters() << std::endl;
    return ExitSuccess;
}

int RunImport(CliSession& session, HistoryWorkspace& workspace, const ImportArgs& args,
              const StationPortWrap& wrap) {
    const fs::path history = session.HistoryFile();
    CheckHistoryWritable(history);
    // A desktop program holding the station's port runs the import as its own.
    if (const std::optional<int> handedOver = ImportThroughDesktop(session, args))
        return *handedOver;
    // The import compares against the file's datasets: those recorded already are known.
    CHistoryData& recorded = workspace.Recording();
    {
        std::error_code error;
        if (fs::exists(history, error))
            ReadRecordingHistory(workspace, history);
        CheckHistoryContent(history, recorded.Damage(), recorded.Size()); // before the station is asked
    }
    const auto newestBefore = NewestDatasetTime(recorded);

    InterruptWatch interrupts;
    // Test seam: an interrupt that arrives while the ring buffer is read, at a known step. The
    // worker waits until the main thread has passed the abort on, so the moment is exact.
    std::promise<void> interruptHandled;
    auto handled = interruptHandled.get_future();
    const auto interruptNow = [&] {
        ::kill(::getpid(), SIGINT);
        handled.wait_for(std::chrono::seconds(30));
    };
    int steps = 0; // counted on the worker thread
    Progress progress;
    auto waiter = std::make_shared<RequestWaiter>([&](std::uint32_t done, std::uint32_t total) {
        if (args.interruptAfterSteps > 0 && ++steps == args.interruptAfterSteps)
            interruptNow();
        progress.Step(done, total);
    });
    RunningManager manager(session, wrap);
    std::function<void()> afterAppend;
    if (args.interruptAfterAppend)
        afterAppend = interruptNow;
    auto request = std::make_shared<CHWRequestReadRingBuffer>(
        waiter, std::make_shared<CliImportSink>(recorded, history, std::move(afterAppend)));
    if (args.whole)
        request->ForceWholeRead();
    if (args.all)
        request->ImportAll();
    const Ended ended =
        RunRequest(manager, *waiter, interrupts, request, [&] { interruptHandled.set_value(); });
    progress.Finish();

    if (ended.interrupt && ended.outcome.aborted)
        throw CliFailure(InterruptedImportText(request->Summary()), ExitInterrupted);
    if (!ended.outcome.succeeded)
        throw CliFailure("import from port " + Quoted(manager.Port()) + " failed: " + ended.outcome.message);

    PrintImportSummary(std::cout, request->Summary());
    PublishAfterImport(session, recorded, newestBefore);
    RefreshReportAfterImport(session);
    return ExitSuccess;
}

void PrintImportSummary(std::ostream& out, const ImportSummary& s) {
    if (!s.layoutChange.empty())
        out << s.layoutChange << "\n";
    out << "Datasets parsed:           " << s.parsed << "\n"
        << "Removed as invalid:        " << s.invalid << "\n"
        << "Removed as read doubles:   " << s.readDoubles << "\n"
        << "Removed as already known:  " << s.known << "\n"
        << "Damaged values as missing: " << s.damagedValues << " (in " << s.damaged << " datasets)\n"
        << "Appended:                  " << s.appended << "\n"
        << "Left for the next import:  " << (s.newestLeft ? "1 (still being written)" : "0") << "\n"
        << "New read position:         "
        << (s.newReadIndex ? "slot " + std::to_string(*s.newReadIndex) : std::string("unchanged")) << "\n"
        << "Bytes read from station:   " << s.bytesRead << std::endl;
}
