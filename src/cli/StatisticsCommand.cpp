#include "cli/StatisticsCommand.h"

#include "cli/AlignedTable.h"
#include "cli/CliFailure.h"
#include "cli/CliSession.h"
#include "cli/DateTimeArgument.h"
#include "cli/HistoryCommands.h"
#include "cli/HistoryFileSource.h"
#include "history/StatisticsText.h"
#include "settings/OptionValues.h"

#include <optional>

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

std::string StatisticsTable(const std::vector<Summary>& summaries, const ColumnFormat& format) {
    const std::string datePattern = DatePattern(format.dateTimePattern);
    std::vector<std::vector<std::string>> rows;
    rows.reserve(summaries.size());
    for (const Summary& s : summaries) {
        const std::string unit = " " + QuantityUnit(s.quantity, format.fahrenheit);
        rows.push_back({PeriodText(s.period, datePattern), QuantityName(s.quantity), std::to_string(s.count),
                        SummaryValueText(s.min, s.quantity, format.fahrenheit) + unit,
                        s.minAt.Format(format.dateTimePattern),
                        SummaryValueText(s.max, s.quantity, format.fahrenheit) + unit,
                        s.maxAt.Format(format.dateTimePattern), MeanText(s, format.fahrenheit) + unit});
    }
    return FormatAlignedTable({"Period", "Quantity", "Count", "Min", "Min at", "Max", "Max at", "Mean"}, rows,
                              {false, false, true, true, false, true, false, true});
}

} // namespace

int RunStats(CliSession& session, const StatsArgs& args) {
    StatisticsRange range;
    range.from = RangeEnd("--from", args.from, false);
    range.to = RangeEnd("--to", args.to, true);
    if (range.from && range.to && *range.to < *range.from)
        throw CliFailure("--from " + Quoted(args.from) + " lies after --to " + Quoted(args.to), ExitUsage);

    const std::filesystem::path history = session.HistoryFile();
    Summarizer summarizer(args.by, range);
    StreamHistoryFile(history, [&summarizer](std::span<const CDataset> block) { summarizer.Add(block); });
    const std::vector<Summary> summaries = summarizer.Finish();
    const ColumnFormat format = CurrentColumnFormat();
    if (args.format == "csv") {
        WriteToStdout(StatisticsCsv(summaries, format.fahrenheit));
    } else if (summaries.empty()) {
        WriteToStdout("No measurements in " + Quoted(history.string()) +
                      (range.from || range.to ? " in that range\n" : "\n"));
    } else {
        WriteToStdout(StatisticsTable(summaries, format));
    }
    return ExitSuccess;
}
