#include "cli/CliFailure.h"
#include "cli/CliSession.h"
#include "cli/HistoryCommands.h"
#include "cli/SimCommands.h"
#include "cli/StationCommands.h"
#include "cli/StatisticsCommand.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>

namespace {

// One line per failure, in the same shape as the program's own errors.
std::string UsageMessage(const CLI::App*, const CLI::Error& e) {
    return std::string("nivaro-cli: ") + e.what() + " (see --help)\n";
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Nivaro on the command line: station import, history export and statistics, and the station "
                 "simulator.\n"
                 "Exit codes: 0 success, 1 usage error, 2 station or file failure, 130 interrupted.",
                 "nivaro-cli"};
    app.require_subcommand(1);
    app.failure_message(UsageMessage);

    CommonOptions common;
    app.add_option("--port", common.port,
                   "Serial port of the station for this run (overrides the option Port); "
                   "sim:IMAGE uses the simulated station with IMAGE (made by sim create) as its EEPROM; "
                   "sim:IMAGE?adapter=native|usb|slow-usb makes it as slow as that adapter");
    app.add_option("--history", common.history,
                   "History file for this run (overrides the option RecordingHistoryFile)");
    app.add_option("--options", common.optionsFile,
                   "Options file (default: Nivaro.xml in the current directory)");
    app.add_flag("--user-data", common.userData,
                 "Work in the user data folder ($XDG_DATA_HOME/nivaro, else ~/.local/share/nivaro; created "
                 "when missing) as the desktop program started from the menu does; relative paths count "
                 "from there");
    app.add_flag("--realtime", common.realtime,
                 "Run the simulated station on the real clock (default: virtual)");

    auto* ping = app.add_subcommand("ping", "Ask the station for its number of transmitters");
    ping->fallthrough();

    ImportArgs importArgs;
    auto* import = app.add_subcommand("import", "Read new datasets from the station into the history file");
    import->fallthrough();
    import->add_flag("--whole", importArgs.whole,
                     "Read the whole ring buffer, not only what is new since the last import");
    import->add_option("--interrupt-after-steps", importArgs.interruptAfterSteps)->group("");
    import->add_flag("--interrupt-after-append", importArgs.interruptAfterAppend)->group("");

    std::string out;
    std::string exportFormat = "text";
    auto* exportCommand = app.add_subcommand("export", "Write the history as text, CSV or an SQLite table");
    exportCommand->fallthrough();
    exportCommand->add_option("--out", out, "Output file ('-' or omitted: standard output)");
    exportCommand
        ->add_option("--format", exportFormat,
                     "text: semicolon-separated as the table shows it (default); csv: comma-separated with "
                     "ISO 8601 date-times and units in the header; sqlite: table 'measurements' in the "
                     "database --out")
        ->check(CLI::IsMember({"text", "csv", "sqlite"}));

    std::optional<std::size_t> last;
    auto* show = app.add_subcommand("show", "Show the history as a table");
    show->fallthrough();
    show->add_option("--last", last, "Only the newest N datasets")->check(CLI::PositiveNumber);

    StatsArgs statsArgs;
    std::string by;
    auto* stats = app.add_subcommand("stats", "Minimum, maximum and mean of every sensor per period");
    stats->fallthrough();
    stats->add_option("--by", by, "Period: day, week (ISO, from Monday), month or year")
        ->required()
        ->check(CLI::IsMember({"day", "week", "month", "year"}));
    stats->add_option("--from", statsArgs.from, "First date or date-time counted, e.g. 2025-03-01");
    stats->add_option("--to", statsArgs.to,
                      "Last date or date-time counted, e.g. 2025-03-31 (the whole day)");
    stats->add_option("--format", statsArgs.format, "text (default) or csv")
        ->check(CLI::IsMember({"text", "csv"}));

    auto* sim = app.add_subcommand("sim", "Station EEPROM images for the simulated station");
    sim->require_subcommand(1);

    SimCreateArgs createArgs;
    auto* create =
        sim->add_subcommand("create", "Create an image as the base unit leaves it after some measurements");
    create->add_option("IMAGE", createArgs.image, "Image file (32768 bytes)")->required();
    create->add_option("--transmitters", createArgs.transmitters, "Outdoor transmitters, 1 to 5")
        ->required()
        ->check(CLI::Range(1, 5));
    create
        ->add_option("--datasets", createArgs.datasets,
                     "Measurements recorded (more than the ring buffer holds wraps it)")
        ->required()
        ->check(CLI::NonNegativeNumber);
    create->add_option(
        "--start", createArgs.start,
        "Date-time of the first measurement, e.g. 2005-01-17T14:35 (default: the newest is now)");
    create->add_option("--interval", createArgs.intervalMinutes, "Minutes between measurements")
        ->check(CLI::Range(1, 24 * 60));
    create->add_option("--seed", createArgs.seed, "Selects the measured values");
    create->add_flag("--force", createArgs.force, "Replace an existing image");

    std::string infoImage;
    auto* info = sim->add_subcommand("info", "Describe an image: flags, layout, end marker, read position");
    info->add_option("IMAGE", infoImage, "Image file")->required();

    SimAddArgs addArgs;
    std::optional<int> addInterval;
    auto* add = sim->add_subcommand("add", "Let the base unit record more measurements into an image");
    add->add_option("IMAGE", addArgs.image, "Image file")->required();
    add->add_option("--datasets", addArgs.datasets, "Measurements to record")
        ->required()
        ->check(CLI::Range(1, 100000));
    add->add_option("--interval", addInterval, "Minutes between measurements (default: as recorded, else 5)")
        ->check(CLI::Range(1, 24 * 60));
    add->add_option("--seed", addArgs.seed, "Selects the measured values");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? ExitSuccess : ExitUsage;
    }

    try {
        if (sim->parsed()) {
            if (create->parsed())
                return RunSimCreate(createArgs);
            if (info->parsed())
                return RunSimInfo(infoImage);
            addArgs.intervalMinutes = addInterval;
            return RunSimAdd(addArgs);
        }
        CliSession session(common);
        int result = ExitSuccess;
        if (ping->parsed())
            result = RunPing(session);
        else if (import->parsed())
            result = RunImport(session, importArgs);
        else if (exportCommand->parsed())
            result = RunExport(session, out, exportFormat);
        else if (stats->parsed()) {
            statsArgs.by = by == "week"    ? PeriodKind::Week
                           : by == "month" ? PeriodKind::Month
                           : by == "year"  ? PeriodKind::Year
                                           : PeriodKind::Day;
            result = RunStats(session, statsArgs);
        } else
            result = RunShow(session, last);
        if (ping->parsed() || import->parsed())
            session.SaveOptions(); // what the station told (its transmitters); nothing else writes them
        return result;
    } catch (const CliFailure& e) {
        std::cerr << "nivaro-cli: " << e.what() << std::endl;
        return e.ExitCode();
    } catch (const std::exception& e) {
        std::cerr << "nivaro-cli: " << e.what() << std::endl;
        return ExitFailure;
    }
}
