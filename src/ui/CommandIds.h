#pragma once

// Command ids of the main window's menus, toolbar and shortcuts.
namespace Command {
constexpr int FileOpen = 57601;
constexpr int FilePrint = 57607;
constexpr int FileExit = 57665;
constexpr int DataImport = 32775;
constexpr int DataExport = 32776;
constexpr int DataDelete = 32781;
constexpr int DataChart = 32800;      // shows the chart instead of the table, and back
constexpr int DataStatistics = 32801; // shows the statistics instead of the table, and back
constexpr int ExtrasOptions = 32772;
constexpr int About = 57664;
} // namespace Command

// The main window's menu resource number.
constexpr int MainMenu = 128;
