#pragma once

#include "station/Dataset.h"

#include <memory>
#include <vector>

// A store's datasets, which can be handed to another thread as they are now without a copy: a
// snapshot shares them, and the first change after a snapshot was taken works on a copy of its
// own (copy on write), so a snapshot never changes under its reader. Not locked itself: the store
// that owns it holds its lock around every call.
class SharedDatasets {
public:
    using Snapshot = std::shared_ptr<const std::vector<CDataset>>;

    const std::vector<CDataset>& Get() const { return *m_datasets; }
    // The datasets to change in place; a copy first when a snapshot may still share them.
    std::vector<CDataset>& Mutable();
    void Replace(std::vector<CDataset> datasets);
    // The datasets as they are now, for any thread; they stay as they are.
    Snapshot Share() const;

private:
    std::shared_ptr<std::vector<CDataset>> m_datasets = std::make_shared<std::vector<CDataset>>();
    // Set by Share. Whether that snapshot is still held is not asked (its owner may drop it on
    // another thread): the next change copies once and the flag clears.
    mutable bool m_shared = false;
};
