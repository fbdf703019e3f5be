#include "cli/StatisticsCommand.h"

#include "cli/AlignedTable.h"
#include "cli/CliFailure.h"
#include "cli/CliSession.h"
#include "cli/DateTimeArgument.h"
#include "cli/HistoryCommands.h"
#include "cli/HistoryFileSource.h"
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

std::string QuantityName(const ChartQuantity& quantity) {
    std::string name = quantity.sensor == 0 ? "Indoor" : "Outdoor " + std::to_string(quantity.sensor);
    return name + (quantity.kind == ChartQuantity::Temperature ? " temperature" : " humidity");
}

// Summaries are written a few thousand at a time, so that the output's text is never held whole.
constexpr std::size_t SummariesPerWrite = 4096;

// The summaries of a long history are many: they are kept in parts of SummariesPerWrite, which
// never move once filled, rather than in one block copied to a larger one as it grows.
using Summaries = std::vector<std::vector<Summary>>;

void Append(Summaries& summaries, std::span<const Summary> more) {
    for (const Summary& summary : more) {
        if (summaries.empty() || summaries.back().size() == SummariesPerWrite)
            summaries.emplace_back().reserve(SummariesPerWrite);
        summaries.back().push_back(summary);
    }
}

std::vector<std::string> StatisticsRow(const Summary& s, const ColumnFormat& format,
                                       const std::string& datePattern) {
    const std::string unit = " " + QuantityUnit(s.quantity, format.fahrenheit);
    return {PeriodText(s.period, datePattern),
            QuantityName(s.quantity),
            std::to_string(s.count),
            SummaryValueText(s.min, s.quantity, format.fahrenheit) + unit,
            s.minAt.Format(format.dateTimePattern),
            SummaryValueText(s.max, s.quantity, format.fahrenheit) + unit,
            s.maxAt.Format(format.dateTimePattern),
            MeanText(s, format.fahrenheit) + unit};
}

// The aligned table, its columns as wide as their widest cell: the rows are formatted once to
// measure them and again to write them, rather than all held as text.
void WriteStatisticsTable(const Summaries& summaries, const ColumnFormat& format) {
    const std::vector<std::string> titles = {"Period", "Quantity", "Count",  "Min",
                                             "Min at", "Max",      "Max at", "Mean"};
    const std::vector<bool> rightAligned = {false, false, true, true, false, true, false, true};
    const std::string datePattern = DatePattern(format.dateTimePattern);
    std::vector<std::size_t> widths;
    for (const std::string& title : titles)
        widths.push_back(DisplayWidth(title));
    for (const std::vector<Summary>& part : summaries)
        for (const Summary& s : part) {
            const std::vector<std::string> row = StatisticsRow(s, format, datePattern);
            for (std::size_t c = 0; c < widths.size(); ++c)
                widths[c] = std::max(widths[c], DisplayWidth(row[c]));
        }
    std::string out;
    AppendAlignedLine(out, titles, widths, rightAligned);
    for (const std::vector<Summary>& part : summaries) {
        for (const Summary& s : part)
            AppendAlignedLine(out, StatisticsRow(s, format, datePattern), widths, rightAligned);
        WriteToStdout(out);
        out.clear();
    }
    if (summaries.empty())
        WriteToStdout(out);
}

void WriteStatisticsCsv(const Summaries& summaries, bool fahrenheit) {
    std::string out(StatisticsCsvHeader);
    for (const std::vector<Summary>& part : summaries) {
        AppendStatisticsCsvLines(out, part, fahrenheit);
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
