#pragma once

#include <functional>
#include <iosfwd>
#include <memory>

struct ImportSummary;

class CliSession;
class HistoryWorkspace;
class SerialPort;

// Test seam: takes each port the command makes and gives back the one to use (a port that counts
// its openings, say).
using StationPortWrap = std::function<std::unique_ptr<SerialPort>(std::unique_ptr<SerialPort>)>;

// One ping through the hardware manager: prints the transmitter count.
int RunPing(CliSession& session, const StationPortWrap& wrap = {});

struct ImportArgs {
    bool whole = false; // read every byte of the ring buffer (takes the same datasets)
    bool all = false;   // take every dataset the station holds, not only the new ones
    // Test seam: raise SIGINT after this many progress steps (0 = never).
    int interruptAfterSteps = 0;
    // Test seam: raise SIGINT right after the new datasets reached the history file.
    bool interruptAfterAppend = false;
};
// One ring buffer read through the hardware manager, as the import dialog runs it but without
// its retry loop: prints what was parsed, removed and appended, and the new read position. The
// datasets go to the workspace's recording store and file.
int RunImport(CliSession& session, HistoryWorkspace& workspace, const ImportArgs& args,
              const StationPortWrap& wrap = {});

// The lines that say what an import did (on standard output).
void PrintImportSummary(std::ostream& out, const ImportSummary& summary);
