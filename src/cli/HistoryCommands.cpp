#include "cli/HistoryCommands.h"

#include "cli/CliFailure.h"
#include "cli/CliSession.h"
#include "cli/HistoryTable.h"
#include "history/ExportFile.h"
#include "history/HistoryData.h"
#include "history/HistoryExport.h"
#include "history/HistoryFile.h"
#include "history/HistoryRecord.h"
#include "history/TextExport.h"
#include "settings/OptionValues.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <span>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void CheckHistoryFileReadable(const fs::path& file) {
    std::error_code error;
    const auto status = fs::status(file, error);
    if (!fs::exists(status))
        throw CliFailure("history file " + Quoted(file.string()) + " does not exist");
    if (fs::is_directory(status))
        throw CliFailure("history file " + Quoted(file.string()) + " is a directory");
    // A pipe or a device is refused before it is opened: opening a FIFO waits for a writer.
    if (!fs::is_regular_file(status))
        throw CliFailure("history file " + Quoted(file.string()) + " is not a regular file");
    std::ifstream probe(file, std::ios::binary);
    if (!probe)
        throw CliFailure("history file " + Quoted(file.string()) +
                         " cannot be read: " + std::strerror(errno));
}

} // namespace

void CheckHistoryContent(const fs::path& file, const HistoryDamage& damage, std::size_t records) {
    if (const auto reason = NotAHistoryFile(damage, records))
        throw CliFailure(Quoted(file.string()) + " is not a history file (" + *reason +
                         "); it is left unchanged");
    if (damage.Any())
        std::cerr << "nivaro-cli: warning: history file " << Quoted(file.string()) << ": "
                  << DamageText(damage) << std::endl;
}

void ReadHistoryStore(CHistoryData& store, const fs::path& file) {
    try {
        if (!store.Read(file))
            throw CliFailure("history file " + Quoted(file.string()) + " cannot be read");
    } catch (const std::bad_alloc&) {
        store.Clear();
        std::error_code error;
        const std::uintmax_t size = fs::file_size(file, error);
        throw CliFailure("not enough memory to read " + Quoted(file.string()) + " (" +
                         std::to_string(error ? 0 : size / HistoryRecordSize) + " records)");
    }
}

std::vector<CDataset> ReadHistoryFileForCli(const fs::path& file) {
    CheckHistoryFileReadable(file);
    CHistoryData store;
    ReadHistoryStore(store, file);
    std::vector<CDataset> datasets =
        store.WithDatasets([](const std::vector<CDataset>& held) { return held; });
    CheckHistoryContent(file, store.Damage(), datasets.size());
    return datasets;
}

namespace {

// The history file's datasets in date-time order for an export, read a block at a time: a file
// in order (the usual case, checked in a first pass) is streamed, so memory does not grow with
// the file; only a file out of order is sorted in memory. The file is locked (shared) only for the
// first pass: the records counted then are all the export reads, from the file opened then, so a
// reader that stops reading (a pager) never holds up a writer. Appends only add behind them, and a
// rewrite renames a new file over the path, leaving the open one as it was.
class HistoryFileSource {
public:
    explicit HistoryFileSource(const fs::path& file) : m_file(file), m_in(OpenLocked(file)) {
        CDataset previous;
        HistoryDamage damage;
        VisitHistoryRecords(
            m_in,
            [&](const CDataset& dataset) {
                if (m_records++ != 0 && HistoryOrder(dataset, previous))
                    m_inOrder = false;
                previous = dataset;
                return true;
            },
            &damage);
        if (m_in.bad())
            throw CliFailure("history file " + Quoted(file.string()) +
                             " cannot be read: " + std::strerror(errno));
        m_lock.Release();
        CheckHistoryContent(file, damage, m_records);
    }

    bool Feed(const std::function<bool(const CDataset&)>& write) {
        m_in.clear();
        m_in.seekg(0);
        if (m_inOrder) {
            std::size_t left = m_records; // what was appended since is not part of this export
            bool written = true;
            VisitHistoryRecords(m_in, [&](const CDataset& dataset) {
                if (left == 0)
                    return false;
                --left;
                written = write(dataset);
                return written;
            });
            return written && left == 0 && !m_in.bad();
        }
        std::vector<CDataset> datasets;
        try {
            ReadHistoryRecords(m_in, datasets);
        } catch (const std::bad_alloc&) {
            throw CliFailure("not enough memory to read " + Quoted(m_file.string()) + " (" +
                             std::to_string(m_records) + " records)");
        }
        datasets.resize(std::min(datasets.size(), m_records));
        std::stable_sort(datasets.begin(), datasets.end(), HistoryOrder);
        for (const CDataset& dataset : datasets)
            if (!write(dataset))
                return false;
        return !m_in.bad();
    }

private:
    std::ifstream OpenLocked(const fs::path& file) {
        CheckHistoryFileReadable(file);
        m_lock = HistoryFileLock::Acquire(file, HistoryFileLock::Mode::Shared, false);
        if (!m_lock.Held())
            throw CliFailure("history file " + Quoted(file.string()) + " cannot be read: " + m_lock.Reason());
        return std::ifstream(file, std::ios::binary);
    }

    fs::path m_file;
    HistoryFileLock m_lock;
    std::ifstream m_in;
    std::size_t m_records = 0;
    bool m_inOrder = true;
};

} // namespace

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
    if (*exportFormat != ExportFormat::Text) {
        // CSV and SQLite name their columns after the transmitters present, so they see the
        // whole history before the first line.
        const std::vector<CDataset> datasets = ReadHistoryFileForCli(history);
        try {
            if (toStdout) {
                std::ostringstream text;
                WriteExportStream(text, *exportFormat, datasets, CurrentColumnFormat());
                WriteToStdout(text.str());
            } else {
                WriteExportFile(out, *exportFormat, datasets, CurrentColumnFormat());
            }
        } catch (const ExportError& e) {
            throw CliFailure(e.what());
        }
        return ExitSuccess;
    }
    HistoryFileSource source(history);
    TextExportWriter writer(CurrentColumnFormat());
    if (toStdout) {
        std::fflush(stdout);
        writer.Open(STDOUT_FILENO);
        source.Feed([&writer](const CDataset& dataset) { return writer.Write(dataset); });
        if (const HistoryOutcome closed = writer.Close(); !closed)
            throw CliFailure("standard output cannot be written: " + closed.reason);
        return ExitSuccess;
    }
    const HistoryOutcome outcome =
        ExportHistory(out, historyFiles, writer, [&source](const auto& write) { return source.Feed(write); });
    if (!outcome)
        throw CliFailure("export file " + Quoted(out) + " cannot be written: " + outcome.reason);
    return ExitSuccess;
}

int RunShow(CliSession& session, std::optional<std::size_t> last) {
    const fs::path history = session.HistoryFile();
    const std::vector<CDataset> datasets = ReadHistoryFileForCli(history);
    std::span<const CDataset> shown(datasets);
    if (last && *last < shown.size())
        shown = shown.last(*last);
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
