#include "cli/HistoryCommands.h"

#include "cli/CliFailure.h"
#include "cli/CliSession.h"
#include "cli/HistoryFileSource.h"
#include "cli/HistoryTable.h"
#include "history/ExportWriters.h"
#include "history/HistoryData.h"
#include "history/HistoryExport.h"
#include "history/HistoryWorkspace.h"
#include "history/NewestDatasets.h"
#include "history/TransmittersPresent.h"
#include "settings/OptionValues.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <limits>
#include <span>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

void CheckHistoryContent(const fs::path& file, const HistoryDamage& damage, std::size_t records) {
    if (const auto reason = NotAHistoryFile(damage, records))
        throw CliFailure(Quoted(file.string()) + " is not a history file (" + *reason +
                         "); it is left unchanged");
    if (damage.Any())
        std::cerr << "nivaro-cli: warning: history file " << Quoted(file.string()) << ": "
                  << DamageText(damage) << std::endl;
}

void ReadRecordingHistory(HistoryWorkspace& workspace, const fs::path& file) {
    try {
        if (!workspace.ReadRecording(file))
            throw CliFailure("history file " + Quoted(file.string()) + " cannot be read");
    } catch (const std::bad_alloc&) {
        workspace.Recording().Clear();
        throw NotEnoughMemory(file);
    }
}

void WriteToStdout(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        throw CliFailure(std::string("standard output cannot be written: ") + std::strerror(errno));
}

int RunExport(CliSession& session, const std::string& out, const std::string& formatName) {
    const std::optional<ExportFormat> exportFormat = ExportFormatFromName(formatName);
    if (!exportFormat)
        throw CliFailure("export format " + Quoted(formatName) + " is not text, csv or sqlite", ExitUsage);
    const bool toStdout = out.empty() || out == "-";
    if (toStdout && *exportFormat == ExportFormat::Sqlite)
        throw CliFailure("an sqlite export needs a file: give --out FILE", ExitUsage);
    const fs::path history = session.HistoryFile();
    const fs::path historyFiles[] = {history};
    if (!toStdout) {
        if (const auto refused = RefusedExportTarget(out, historyFiles))
            throw CliFailure(*refused, ExitUsage);
        session.RefuseOwnFile("export file", out);
    }
    HistoryFileSource source(history);
    const auto writer = MakeExportWriter(*exportFormat, CurrentColumnFormat(), source.Transmitters());
    const auto feed = [&source](const auto& write) { return source.Feed(write); };
    if (toStdout) {
        std::fflush(stdout);
        if (const HistoryOutcome opened = writer->Open({STDOUT_FILENO, {}, {}}); !opened)
            throw CliFailure("standard output cannot be written: " + opened.reason);
        const bool fed = feed([&writer](const CDataset& dataset) { return writer->Write(dataset); });
        if (const HistoryOutcome closed = writer->Close(); !closed)
            throw CliFailure("standard output cannot be written: " + closed.reason);
        if (!fed)
            throw CliFailure("history file " + Quoted(history.string()) + " cannot be read completely");
        return ExitSuccess;
    }
    const HistoryOutcome outcome = ExportHistory(out, historyFiles, *writer, feed);
    if (!outcome)
        throw CliFailure("export file " + Quoted(out) + " cannot be written: " + outcome.reason);
    return ExitSuccess;
}

int RunShow(CliSession& session, std::optional<std::size_t> last) {
    const fs::path history = session.HistoryFile();
    NewestDatasets newest(last.value_or(std::numeric_limits<std::size_t>::max()));
    StreamHistoryFile(history, [&newest](std::span<const CDataset> block) { newest.Add(block); });
    std::vector<CDataset> shown;
    try {
        shown = newest.Take();
    } catch (const std::bad_alloc&) {
        throw NotEnoughMemory(history);
    }
    if (shown.empty()) {
        WriteToStdout("No datasets in " + Quoted(history.string()) + "\n");
        return ExitSuccess;
    }
    const int known = Options().GetNrOfTransmitters();
    int transmitters = TransmittersWithValues(shown);
    if (known >= 0 && known <= 5)
        transmitters = std::max(transmitters, known);
    WriteToStdout(FormatHistoryTable(shown, CurrentColumnFormat(), transmitters));
    return ExitSuccess;
}
