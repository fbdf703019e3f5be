#include "cli/StatisticsCommand.h"

#include "cli/CliFailure.h"
#include "cli/CliSession.h"
#include "cli/DateTimeArgument.h"
#include "cli/HistoryCommands.h"
#include "cli/HistoryFileSource.h"
#include "cli/LargePageAllocator.h"
#include "cli/StatisticsTable.h"
#include "history/HistoryFile.h"
#include "history/HistoryRecord.h"
#include "history/StatisticsText.h"
#include "settings/OptionValues.h"

#include <algorithm>
#include <optional>
#include <span>

namespace {

// A date alone stands for its first second at the start of a range and its last at the end.
std::optional<CDateTime> RangeEnd(const std::string& option, const std::string& text, bool end) {
    if (text.empty())
        return std::nullopt;
    std::optional<CDateTime> at = ParseIsoDateTime(text);
    if (!at)
        throw CliFailure(option + " " + Quoted(text) +
                             " is not a date (2025-03-01) or date-time (2025-03-01T06:35)",
                         ExitUsage);
    if (end && text.size() == 10) {
        CDateTime::Fields fields;
        at->GetFields(fields);
        *at = CDateTime(fields.year, fields.month, fields.day, 23, 59, 59);
    }
    return at;
}

// The output is written a quarter of a mebibyte at a time, so that its text is never held whole.
constexpr std::size_t WriteSize = std::size_t(1) << 18;

// The summaries of a long history are many: they are kept in parts of a large page each, which
// never move once filled, rather than in one block copied to a larger one as it grows.
using SummaryPart = std::vector<Summary, LargePageAllocator<Summary>>;
using Summaries = std::vector<SummaryPart>;
constexpr std::size_t SummariesPerPart = LargePageAllocator<Summary>::LargePage / sizeof(Summary);

void Append(Summaries& summaries, std::span<const Summary> more) {
    for (const Summary& summary : more) {
        if (summaries.empty() || summaries.back().size() == SummariesPerPart)
            summaries.emplace_back().reserve(SummariesPerPart);
        summaries.back().push_back(summary);
    }
}

// The aligned table: every summary is measured for the column widths, then written once.
void WriteStatisticsTable(const Summaries& summaries, const ColumnFormat& format) {
    StatisticsTable table(format);
    for (const SummaryPart& part : summaries)
        for (const Summary& s : part)
            table.Measure(s);
    std::string out;
    out.reserve(WriteSize + 4096);
    table.AppendTitles(out);
    for (const SummaryPart& part : summaries)
        for (const Summary& s : part) {
            table.AppendRow(out, s);
            if (out.size() >= WriteSize) {
                WriteToStdout(out);
                out.clear();
            }
        }
    WriteToStdout(out);
}

void WriteStatisticsCsv(const Summaries& summaries, bool fahrenheit) {
    constexpr std::size_t SummariesPerWrite = WriteSize / 128; // a line is rarely longer
    std::string out(StatisticsCsvHeader);
    for (const SummaryPart& part : summaries)
        for (std::size_t first = 0; first < part.size(); first += SummariesPerWrite) {
            AppendStatisticsCsvLines(
                out, std::span(part).subspan(first, std::min(SummariesPerWrite, part.size() - first)),
                fahrenheit);
            WriteToStdout(out);
            out.clear();
        }
    if (summaries.empty())
        WriteToStdout(out);
}

// The summaries of the file. While it is in date-time order (the usual case), the periods are
// summarised as they finish and only their figures are kept, so memory does not grow with the
// accumulators of every period; a file found out of order is read again and summarised whole.
// The output waits for the whole file: one found to be no history file gives none, and a reader
// of standard output that stops reading never holds the file's lock.
Summaries SummarizeHistoryFile(const std::filesystem::path& file, PeriodKind by,
                               const StatisticsRange& range) {
    Summaries summaries;
    {
        std::vector<Summary> finished;
        Summarizer summarizer(by, range);
        CDataset last;
        bool first = true;
        const std::optional<std::size_t> read =
            StreamHistoryFileWhile(file, [&](std::span<const CDataset> block) {
                // Before 1899-12-30 date values do not run in time order: such a file counts as out of it.
                const bool inOrder = (first ? !(block.front().GetDateTime().Value() < 0)
                                            : !HistoryOrder(block.front(), last)) &&
                                     IsInHistoryOrder(block);
                if (!inOrder)
                    return false;
                first = false;
                last = block.back();
                summarizer.Add(block);
                summarizer.TakeFinished(finished);
                Append(summaries, finished);
                finished.clear();
                return true;
            });
        if (read) {
            Append(summaries, summarizer.Finish());
            return summaries;
        }
    }
    summaries.clear();
    Summarizer summarizer(by, range);
    StreamHistoryFile(file, [&summarizer](std::span<const CDataset> block) { summarizer.Add(block); });
    Append(summaries, summarizer.Finish());
    return summaries;
}

} // namespace

int RunStats(CliSession& session, const StatsArgs& args) {
    StatisticsRange range;
    range.from = RangeEnd("--from", args.from, false);
    range.to = RangeEnd("--to", args.to, true);
    if (range.from && range.to && *range.to < *range.from)
        throw CliFailure("--from " + Quoted(args.from) + " lies after --to " + Quoted(args.to), ExitUsage);

    const std::filesystem::path history = session.HistoryFile();
    const Summaries summaries = SummarizeHistoryFile(history, args.by, range);
    const ColumnFormat format = CurrentColumnFormat();
    if (args.format == "csv") {
        WriteStatisticsCsv(summaries, format.fahrenheit);
    } else if (summaries.empty()) {
        WriteToStdout("No measurements in " + Quoted(history.string()) +
                      (range.from || range.to ? " in that range\n" : "\n"));
    } else {
        WriteStatisticsTable(summaries, format);
    }
    return ExitSuccess;
}
