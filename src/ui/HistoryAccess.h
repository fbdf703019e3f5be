#pragma once

#include "history/HistoryDamage.h"
#include "history/HistoryOutcome.h"
#include "history/LoadedHistory.h"
#include "station/Dataset.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class CHistoryData;

// What the windows need of the two history stores. The table asks it for every cell and keeps no
// copy; a corrected cell goes back through it into the displayed history and its file.
class HistoryAccess {
public:
    virtual ~HistoryAccess() = default;

    virtual std::size_t DisplayedCount() const = 0;
    // The text of a dataset column (1 to 13) of the displayed dataset at row; "" when the row
    // cannot be fetched.
    virtual std::string DisplayedText(std::size_t row, int column) const = 0;
    // Sets the column of the displayed dataset shown (as the user saw it) from text (checked
    // already) and writes it to the displayed history's file first, memory only when the file took
    // it. Fails, naming the dataset, when the history no longer holds it.
    virtual HistoryOutcome StoreDisplayed(const CDataset& shown, int column, const std::string& text) = 0;
    // Runs read once on all displayed datasets in the store's order, under the store's lock (the
    // chart reduces them in one pass). Without an override there are none.
    virtual void ReadDisplayed(const std::function<void(std::span<const CDataset>)>& read) const { read({}); }
    // The displayed datasets as they are now, for work on another thread: they never change, while
    // the store goes on changing. Without an override a copy made through ReadDisplayed.
    virtual std::shared_ptr<const std::vector<CDataset>> DisplayedSnapshot() const;
    // The displayed dataset at row, a copy; none past the end.
    std::optional<CDataset> DisplayedDataset(std::size_t row) const;
    // The rows now showing the datasets given by value (FindInHistory); none for one that vanished.
    std::vector<std::optional<std::size_t>> FindDisplayed(std::span<const CDataset> datasets) const;

    virtual std::string DisplayedTitle() const = 0;
    virtual std::string RecordingTitle() const = 0;
    // The store the station's imports append to.
    virtual CHistoryData& Recording() = 0;
    virtual bool ReadRecording(const std::filesystem::path& file) = 0;
    // The commands' operations on the displayed history (its file is read, rewritten or written);
    // datasets to delete by value, all or none. Without an override they do nothing and fail.
    virtual bool OpenDisplayed(const std::string& /*path*/) { return false; }
    // OpenDisplayed's second half: a file read on another thread (LoadHistoryFile) becomes the
    // displayed history.
    virtual bool AdoptDisplayed(LoadedHistory /*loaded*/) { return false; }
    virtual HistoryOutcome DeleteDisplayed(const std::vector<CDataset>& /*chosen*/) {
        return HistoryOutcome::Failure("not available");
    }
    virtual HistoryOutcome ExportDisplayed(const std::string& /*path*/) {
        return HistoryOutcome::Failure("not available");
    }
    // The displayed history's file, for messages.
    virtual std::string DisplayedFileName() const { return {}; }
    // What the displayed file held that no station writes, as found when it was last read.
    virtual HistoryDamage DisplayedDamage() const { return {}; }

    // Calls changed after every change of either store, on the thread that changed it; the
    // callback must only post. Replaces an earlier subscription; an empty function unsubscribes.
    virtual void Subscribe(std::function<void()> changed) = 0;
};
