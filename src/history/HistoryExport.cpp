#include "history/HistoryExport.h"

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
    fs::path temporary = target;
    temporary += ".tmp";
    std::error_code ec;
    const auto discard = [&](HistoryOutcome failure) {
        fs::remove(temporary, ec);
        return failure;
    };

    HistoryOutcome outcome = writer.Open(temporary);
    if (!outcome)
        return outcome; // nothing of ours is there to remove

    const bool fed = source([&writer](const CDataset& dataset) { return writer.Write(dataset); });
    outcome = writer.Close();
    if (!outcome)
        return discard(outcome);
    if (!fed)
        return discard(HistoryOutcome::Failure("the export was not completed"));
    fs::rename(temporary, target, ec);
    if (ec)
        return discard(HistoryOutcome::Failure(ec.message()));
    return HistoryOutcome::Success();
}
