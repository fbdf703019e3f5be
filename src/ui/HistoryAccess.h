#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// What the windows need of the two history stores. The table asks it for every cell and keeps no
// copy; a corrected cell goes back through it into the displayed history and its file.
class HistoryAccess {
public:
    virtual ~HistoryAccess() = default;

    virtual std::size_t DisplayedCount() const = 0;
    // The text of a dataset column (1 to 13) of the displayed dataset at row; "" when the row
    // cannot be fetched.
    virtual std::string DisplayedText(std::size_t row, int column) const = 0;
    // Sets the column of the displayed dataset at row from text and writes the dataset to the
    // displayed history's file.
    virtual bool StoreDisplayed(std::size_t row, int column, const std::string& text) = 0;

    virtual std::string DisplayedTitle() const = 0;
    virtual std::string RecordingTitle() const = 0;
    virtual bool ReadRecording(const std::filesystem::path& file) = 0;
    // The commands' operations on the displayed history (its file is rewritten or written).
    virtual bool OpenDisplayed(const std::string& path) = 0;
    // rows ascending.
    virtual bool DeleteDisplayed(const std::vector<std::size_t>& rows) = 0;
    virtual bool ExportDisplayed(const std::string& path) = 0;

    // Calls changed after every change of either store, on the thread that changed it; the
    // callback must only post. Replaces an earlier subscription; an empty function unsubscribes.
    virtual void Subscribe(std::function<void()> changed) = 0;
};
