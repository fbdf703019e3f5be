#pragma once

#include "history/HistoryOutcome.h"

#include <string>

class CDataView;
class CMainFrame;
class HistoryAccess;
class QWidget;

// Plugs the dialogs into the main window's commands: Options, About and Import on the frame,
// Open, Print, Export and Delete on its table.
void InstallCommands(CMainFrame& frame);

// The table's commands, one by one (the frame's table calls them through InstallCommands).
void OpenCommand(CDataView& view);
void PrintCommand(CDataView& view);
void ExportCommand(CDataView& view);
void DeleteCommand(CDataView& view);

// "The history file "history.nvh" was not changed: No space left on device."
void ReportHistoryFailure(QWidget* owner, const std::string& file, const HistoryOutcome& outcome);
// Warns with the counts when the displayed file holds records no station writes.
void WarnOfDamage(QWidget* owner, HistoryAccess& history);
