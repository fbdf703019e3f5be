#pragma once

class CDataView;
class CMainFrame;

// Plugs the dialogs into the main window's commands: Options, About and Import on the frame,
// Open, Print, Export and Delete on its table.
void InstallCommands(CMainFrame& frame);

// The table's commands, one by one (the frame's table calls them through InstallCommands).
void OpenCommand(CDataView& view);
void PrintCommand(CDataView& view);
void ExportCommand(CDataView& view);
void DeleteCommand(CDataView& view);
