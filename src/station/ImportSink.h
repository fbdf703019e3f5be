#pragma once

#include "station/Dataset.h"

#include <string>
#include <vector>

// Where the datasets of an import go. The caller of the read supplies it (the desktop and the
// command line wire it to the recording history); the station side knows no store.
class ImportSink {
public:
    virtual ~ImportSink() = default;

    // Removes, keeping the order of the rest, every dataset the store holds already.
    virtual void RemoveKnown(std::vector<CDataset>& datasets) const = 0;
    // Stores the datasets so that they survive a power cut: true only once they are on disk.
    // Nothing may be told to the station before this returned true.
    virtual bool Store(const std::vector<CDataset>& datasets) = 0;
    // The store's name in messages (the history file's path).
    virtual std::string Name() const = 0;
    // Why the last Store failed, in the system's words ("No space left on device"); "" when unknown.
    virtual std::string StoreFailure() const { return {}; }
};
