#pragma once

#include <iosfwd>

struct ImportSummary;

class CliSession;

// One ping through the hardware manager: prints the transmitter count.
int RunPing(CliSession& session);

struct ImportArgs {
    bool whole = false; // read every byte of the ring buffer (takes the same datasets)
    bool all = false;   // take every dataset the station holds, not only the new ones
    // Test seam: raise SIGINT after this many progress steps (0 = never).
    int interruptAfterSteps = 0;
    // Test seam: raise SIGINT right after the new datasets reached the history file.
    bool interruptAfterAppend = false;
};
// One ring buffer read through the hardware manager, as the import dialog runs it but without
// its retry loop: prints what was parsed, removed and appended, and the new read position.
int RunImport(CliSession& session, const ImportArgs& args);

// The lines that say what an import did (on standard output).
void PrintImportSummary(std::ostream& out, const ImportSummary& summary);
