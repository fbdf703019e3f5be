#include "history/SharedDatasets.h"

std::vector<CDataset>& SharedDatasets::Mutable() {
    if (m_shared) {
        m_datasets = std::make_shared<std::vector<CDataset>>(*m_datasets);
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
