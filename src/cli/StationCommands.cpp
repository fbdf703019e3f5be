#include "cli/StationCommands.h"

#include "cli/CliFailure.h"

int RunPing(CliSession&) {
    throw CliFailure("ping is not available yet");
}

int RunImport(CliSession&, const ImportArgs&) {
    throw CliFailure("import is not available yet");
}
