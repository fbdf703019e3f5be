#include "history/SharedDatasets.h"

#include "base/HugePages.h"

std::vector<CDataset>& SharedDatasets::Mutable() {
    if (m_shared) {
        auto copy = std::make_shared<std::vector<CDataset>>();
        copy->reserve(m_datasets->size());
        PreferHugePages(copy->data(), copy->capacity() * sizeof(CDataset));
        copy->assign(m_datasets->begin(), m_datasets->end());
        m_datasets = std::move(copy);
        m_shared = false;
    }
    return *m_datasets;
}

void SharedDatasets::Replace(std::vector<CDataset> datasets) {
    m_datasets = std::make_shared<std::vector<CDataset>>(std::move(datasets));
    m_shared = false;
}

SharedDatasets::Snapshot SharedDatasets::Share() const {
    m_shared = true;
    return m_datasets;
}
