#pragma once

#include "history/HistoryData.h"
#include "ui/HistoryAccess.h"
#include "ui/StationLink.h"

#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A displayed history held in memory: row r, column c reads "r:c" unless a value was stored; its
// dataset is dated r minutes after 1 January 2024.
class FakeHistory : public HistoryAccess {
public:
    static CDataset DatasetOfRow(std::size_t row) {
        CDataset dataset;
        dataset.SetDateTime(CDateTime(2024, 1, 1 + int(row / 1440), int(row / 60 % 24), int(row % 60), 0));
        return dataset;
    }

    std::size_t DisplayedCount() const override {
        std::lock_guard lock(m_lock);
        return m_rows;
    }
    std::string DisplayedText(std::size_t row, int column) const override {
        std::lock_guard lock(m_lock);
        for (const auto& s : stored)
            if (s.dataset.GetDateTime() == DatasetOfRow(row).GetDateTime() && s.column == column)
                return s.text;
        return std::to_string(row) + ":" + std::to_string(column);
    }
    HistoryOutcome StoreDisplayed(const CDataset& shown, int column, const std::string& text) override {
        std::lock_guard lock(m_lock);
        if (!failure.empty())
            return HistoryOutcome::Failure(failure);
        stored.push_back({shown, column, text});
        return {};
    }
    void ReadDisplayed(const std::function<void(std::span<const CDataset>)>& read) const override {
        std::lock_guard lock(m_lock);
        std::vector<CDataset> datasets;
        for (std::size_t row = 0; row < m_rows; ++row)
            datasets.push_back(DatasetOfRow(row));
        read(datasets);
    }
    std::string DisplayedTitle() const override {
        return "history.nvh (" + std::to_string(DisplayedCount()) + ")";
    }
    std::string RecordingTitle() const override { return DisplayedTitle(); }
    CHistoryData& Recording() override { return recording; }
    bool ReadRecording(const std::filesystem::path&) override { return true; }
    bool OpenDisplayed(const std::string& path) override {
        opened.push_back(path);
        return true;
    }
    HistoryOutcome DeleteDisplayed(const std::vector<CDataset>& chosen) override {
        if (!failure.empty())
            return HistoryOutcome::Failure(failure);
        deleted.push_back(chosen);
        SetRows(DisplayedCount() - chosen.size());
        return {};
    }
    HistoryOutcome ExportDisplayed(const std::string& path) override {
        if (!failure.empty())
            return HistoryOutcome::Failure(failure);
        exported.push_back(path);
        return {};
    }
    std::string DisplayedFileName() const override { return "history.nvh"; }
    void Subscribe(std::function<void()> changed) override {
        std::lock_guard lock(m_lock);
        m_changed = std::move(changed);
    }

    // As a worker's append would: change the rows and signal, on the calling thread.
    void SetRows(std::size_t rows) {
        std::lock_guard lock(m_lock);
        m_rows = rows;
        if (m_changed)
            m_changed();
    }

    struct Stored {
        CDataset dataset;
        int column;
        std::string text;
    };
    CHistoryData recording; // where an import into the window goes
    std::vector<Stored> stored;
    std::vector<std::string> opened, exported;
    std::vector<std::vector<CDataset>> deleted;
    // When set, every write fails with this reason and changes nothing (a full disk).
    std::string failure;

private:
    mutable std::recursive_mutex m_lock;
    std::size_t m_rows = 0;
    std::function<void()> m_changed;
};

// A displayed history of datasets held in memory, read in one pass as the chart and the statistics
// read it.
class DatasetsHistory : public HistoryAccess {
public:
    std::vector<CDataset> datasets;
    CHistoryData recording;

    std::size_t DisplayedCount() const override { return datasets.size(); }
    std::string DisplayedText(std::size_t, int) const override { return {}; }
    HistoryOutcome StoreDisplayed(const CDataset&, int, const std::string&) override {
        return HistoryOutcome::Failure("read only");
    }
    void ReadDisplayed(const std::function<void(std::span<const CDataset>)>& read) const override {
        read(datasets);
    }
    std::string DisplayedTitle() const override { return {}; }
    std::string RecordingTitle() const override { return {}; }
    CHistoryData& Recording() override { return recording; }
    bool ReadRecording(const std::filesystem::path&) override { return true; }
    void Subscribe(std::function<void()> changed) override { m_changed = std::move(changed); }

    // As the store's change signal does after datasets were changed.
    void SignalChange() {
        if (m_changed)
            m_changed();
    }

private:
    std::function<void()> m_changed;
};

// A station link whose requests finish when the test says so.
class FakeLink : public StationLink {
public:
    std::string startFailure; // empty: the port opens
    int pings = 0;
    int aborts = 0;

    StartResult Start(const std::string&) override {
        running = startFailure.empty();
        return {startFailure};
    }
    void Stop() override { running = false; }
    bool IsRunning() const override { return running; }
    bool AddRequest(const RequestPtr& request) override {
        if (m_request)
            return false;
        m_request = request;
        m_finished = false;
        ++pings;
        return true;
    }
    RequestPtr CurrentRequest() override {
        if (!m_request)
            throw std::runtime_error("No request available in list");
        ++aborts; // the frame only asks for it to abort it
        return m_request;
    }
    RequestPtr TakeRequest() override {
        if (!m_request || !m_finished)
            throw std::runtime_error("No request available in list");
        return std::exchange(m_request, nullptr);
    }
    // The queued request comes back (reported as the worker would).
    void FinishPing(bool succeeded) {
        m_request->SetSucceeded(succeeded);
        if (!succeeded)
            m_request->SetMessage("No acknowledge");
        m_finished = true;
        if (const auto observer = m_request->Observer())
            observer->Finished(m_request->Outcome());
    }
    bool Queued() const { return m_request != nullptr; }
    bool running = false;

private:
    RequestPtr m_request;
    bool m_finished = false;
};
