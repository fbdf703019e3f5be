#include "cli/HistoryCommands.h"

#include "cli/CliFailure.h"
#include "cli/CliSession.h"
#include "cli/HistoryTable.h"
#include "history/HistoryData.h"
#include "history/TextExport.h"
#include "settings/OptionValues.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <span>
#include <system_error>

namespace fs = std::filesystem;

std::vector<CDataset> ReadHistoryFileForCli(const fs::path& file) {
    std::error_code error;
    const auto status = fs::status(file, error);
    if (!fs::exists(status))
        throw CliFailure("history file " + Quoted(file.string()) + " does not exist");
    if (fs::is_directory(status))
        throw CliFailure("history file " + Quoted(file.string()) + " is a directory");
    {
        std::ifstream probe(file, std::ios::binary);
        if (!probe)
            throw CliFailure("history file " + Quoted(file.string()) +
                             " cannot be read: " + std::strerror(errno));
    }
    CHistoryData store;
    if (!store.Read(file))
        throw CliFailure("history file " + Quoted(file.string()) + " cannot be read");
    return store.WithDatasets([](const std::vector<CDataset>& datasets) { return datasets; });
}

void WriteToStdout(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        throw CliFailure(std::string("standard output cannot be written: ") + std::strerror(errno));
}

namespace {

void ExportToFile(const fs::path& target, std::span<const CDataset> datasets, const ColumnFormat& format) {
    const fs::path temporary = target.string() + ".tmp";
    if (!WriteTextExport(temporary, datasets, format)) {
        const std::string reason = std::strerror(errno);
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw CliFailure("export file " + Quoted(target.string()) + " cannot be written: " + reason);
    }
    std::error_code error;
    fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw CliFailure("export file " + Quoted(target.string()) + " cannot be written: " + error.message());
    }
}

} // namespace

int RunExport(CliSession& session, const std::string& out) {
    const fs::path history = session.HistoryFile();
    const std::vector<CDataset> datasets = ReadHistoryFileForCli(history);
    const ColumnFormat format = CurrentColumnFormat();
    if (out.empty() || out == "-") {
        std::string text = ExportHeader;
        text += ExportLineEnd;
        for (const CDataset& dataset : datasets)
            AppendExportLine(text, dataset, format);
        WriteToStdout(text);
        return ExitSuccess;
    }
    if (IsSameHistoryFile(out, history))
        throw CliFailure("export file " + Quoted(out) + " is the history file; choose another file",
                         ExitUsage);
    ExportToFile(out, datasets, format);
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
