#include "cli/CliFailure.h"
#include "cli/CliSession.h"
#include "cli/HistoryCommands.h"
#include "cli/PortCheckCommand.h"
#include "cli/PublishCommand.h"
#include "cli/ReportCommand.h"
#include "cli/SimCommands.h"
#include "cli/StationCommands.h"
#include "cli/StatisticsCommand.h"
#include "history/HistoryWorkspace.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

// One line per failure, in the same shape as the program's own errors.
std::string UsageMessage(const CLI::App*, const CLI::Error& e) {
    return std::string("nivaro-cli: ") + e.what() + " (see --help)\n";
}

// How many single-letter edits turn one word into the other.
std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// A word where a command belongs that names none: said as such, with the nearest command.
std::optional<std::string> UnknownCommandMessage(const CLI::App& app, const std::vector<std::string>& words) {
    if (words.empty())
        return std::nullopt;
    std::string names, nearest;
    std::size_t nearestDistance = 3; // more edits than this is not a typing slip
    for (const CLI::App* command : app.get_subcommands({})) {
        const std::string& name = command->get_name();
        names += (names.empty() ? "" : ", ") + name;
        if (const std::size_t distance = EditDistance(words.front(), name); distance < nearestDistance) {
            nearestDistance = distance;
            nearest = name;
        }
    }
    return "nivaro-cli: unknown command '" + words.front() + "'" +
           (nearest.empty() ? std::string() : "; did you mean '" + nearest + "'?") + " (commands: " + names +
           "; see --help)\n";
}

// A count of at least one, said in words rather than as a range up to the largest double.
std::string AtLeastOne(const std::string& text) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0)
        return "must be a whole number of at least 1, not " + text;
    return {};
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Nivaro on the command line: station import, history export and statistics, and the station "
                 "simulator.\n"
                 "Exit codes: 0 success, 1 usage error, 2 station, file or broker failure, 130 interrupted.",
                 "nivaro-cli"};
    app.require_subcommand(1);
    app.failure_message(UsageMessage);
    app.set_version_flag("--version", "nivaro-cli " NIVARO_VERSION);

    CommonOptions common;
    app.add_option("--port", common.port,
                   "Serial port of the station for this run (overrides the option Port); "
                   "sim:IMAGE uses the simulated station with IMAGE (made by sim create) as its EEPROM; "
                   "sim:IMAGE?adapter=native|usb|slow-usb|ftdi|pl2303 makes it as slow as that adapter "
                   "(&status-lag=8ms sets how late its status shows, &seed=N the simulator's choices)");
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

    auto* portCheck = app.add_subcommand(
        "port-check", "Measure the serial adapter on the station's bus and say how long imports take on it");
    portCheck->fallthrough();

    ImportArgs importArgs;
    auto* import = app.add_subcommand("import", "Read new datasets from the station into the history file");
    import->fallthrough();
    import->add_flag("--all", importArgs.all,
                     "Take every dataset the station still holds, not only what is new since the last "
                     "import: recovers them into a new or another history file (known ones are left out)");
    import->add_flag("--whole", importArgs.whole,
                     "Read every byte of the ring buffer instead of only what is new (a check of the "
                     "routine read; takes the same datasets)");
    import->add_option("--interrupt-after-steps", importArgs.interruptAfterSteps)->group("");
    import->add_flag("--interrupt-after-append", importArgs.interruptAfterAppend)->group("");

    bool publishDryRun = false;
    auto* publish = app.add_subcommand(
        "publish",
        "Send what waits to the MQTT broker of the option MqttBroker and announce the sensors again");
    publish->fallthrough();
    publish->add_flag("--dry-run", publishDryRun,
                      "Print what would be sent (topic, retained, payload); send nothing");

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
    show->add_option("--last", last, "Only the newest N datasets")
        ->check(CLI::Validator(AtLeastOne, "N >= 1"));

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

    std::string reportFolder;
    auto* report = app.add_subcommand("report", "Write the history as web pages with charts into a folder");
    report->fallthrough();
    report->add_option("--out", reportFolder,
                       "Folder of the pages, created when missing (default: the option ReportFolder, which "
                       "also makes every import refresh the report)");

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
        if (app.get_subcommands().empty() && e.get_name() == "RequiredError")
            if (const std::optional<std::string> unknown = UnknownCommandMessage(app, app.remaining())) {
                std::cerr << *unknown;
                return ExitUsage;
            }
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
        HistoryWorkspace history;
        int result = ExitSuccess;
        if (ping->parsed())
            result = RunPing(session);
        else if (portCheck->parsed())
            result = RunPortCheck(session);
        else if (import->parsed())
            result = RunImport(session, history, importArgs);
        else if (publish->parsed())
            result = RunPublish(session, publishDryRun);
        else if (report->parsed())
            result = RunReport(session, reportFolder);
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
