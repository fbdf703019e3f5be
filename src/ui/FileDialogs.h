#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

// What a command asks of a file dialog.
struct FileDialogRequest {
    enum class Kind { Open, Save, Folder };
    Kind kind = Kind::Open;
    QString filterName;    // "History Files"
    QString pattern;       // "*.nvh"
    QString defaultSuffix; // "nvh", added when the typed name has none
    // Further choices of file type, "CSV Files (*.csv)"; choosing one makes its first
    // extension the one added.
    QStringList moreFilters;
    QString initialFile; // empty: no file name
    bool fileMustExist = false;
};

// Shows the file dialog owned by owner; the chosen full path, or nothing when the user cancelled.
std::optional<QString> AskForFile(QWidget* owner, const FileDialogRequest& request);

// Tests answer the file dialogs themselves; an empty function brings Qt's dialogs back.
using FileDialogHook = std::function<std::optional<QString>(QWidget* owner, const FileDialogRequest&)>;
void SetFileDialogHook(FileDialogHook hook);
