#include "history/HistoryExport.h"

#include "base/FileReplacement.h"
#include "history/HistoryData.h"

namespace fs = std::filesystem;

std::optional<std::string> RefusedExportTarget(const fs::path& target,
                                               std::span<const fs::path> historyFiles) {
    for (const fs::path& history : historyFiles)
        if (!history.empty() && IsSameHistoryFile(target, history))
            return "\"" + target.string() + "\" is a history file; choose another file for the export.";
    std::error_code ec;
    const auto status = fs::status(target, ec);
    if (!ec && fs::exists(status) && !fs::is_regular_file(status))
        return "\"" + target.string() + "\" is not a regular file; choose another file for the export.";
    return std::nullopt;
}

HistoryOutcome ExportHistory(const fs::path& target, std::span<const fs::path> historyFiles,
                             ExportWriter& writer, const ExportSource& source) {
    if (const auto refused = RefusedExportTarget(target, historyFiles))
        return HistoryOutcome::Failure(*refused);
    FileReplacement replacement(target);
    if (!replacement.Started())
        return HistoryOutcome::Failure(replacement.Reason());
    HistoryOutcome outcome =
        writer.Open({replacement.Descriptor(), replacement.Temporary(), replacement.Target()});
    if (!outcome)
        return outcome;
    const bool fed = source([&writer](const CDataset& dataset) { return writer.Write(dataset); });
    outcome = writer.Close();
    if (!outcome)
        return outcome;
    if (!fed)
        return HistoryOutcome::Failure("the export was not completed");
    if (!replacement.Commit(false))
        return HistoryOutcome::Failure(replacement.Reason());
    return HistoryOutcome::Success();
}
