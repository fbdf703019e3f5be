#pragma once

#include <QString>

#include <functional>

class CDataView;

// Opens a history file for the window without freezing it: the file is read on a worker thread
// and the displayed store takes it in on the window's thread once it is read. Until then the
// window keeps showing what it showed, and its status bar says which file is being read. A file
// chosen while another is still being read replaces it; the earlier one is never shown. done gets
// whether the file could be read, after the store took it in.
void OpenDisplayedInBackground(CDataView& view, const QString& path, std::function<void(bool read)> done);
