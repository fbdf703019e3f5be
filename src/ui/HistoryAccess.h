#pragma once

#include "station/Dataset.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <span>
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
    // Runs read once on all displayed datasets in the store's order, under the store's lock (the
    // chart reduces them in one pass). Without an override there are none.
    virtual void ReadDisplayed(const std::function<void(std::span<const CDataset>)>& read) const { read({}); }

    virtual std::string DisplayedTitle() const = 0;
    virtual std::string RecordingTitle() const = 0;
    virtual bool ReadRecording(const std::filesystem::path& file) = 0;
    // The commands' operations on the displayed history (its file is read, rewritten or written);
    // rows ascending. Without an override they do nothing and fail.
    virtual bool OpenDisplayed(const std::string& /*path*/) { return false; }
    virtual bool DeleteDisplayed(const std::vector<std::size_t>& /*rows*/) { return false; }
    virtual bool ExportDisplayed(const std::string& /*path*/) { return false; }

    // Calls changed after every change of either store, on the thread that changed it; the
    // callback must only post. Replaces an earlier subscription; an empty function unsubscribes.
    virtual void Subscribe(std::function<void()> changed) = 0;
};
