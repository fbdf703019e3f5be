#pragma once

#include "ui/HistoryAccess.h"
#include "ui/StationLink.h"

#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

// A displayed history held in memory: row r, column c reads "r:c" unless a value was stored.
class FakeHistory : public HistoryAccess {
public:
    std::size_t DisplayedCount() const override {
        std::lock_guard lock(m_lock);
        return m_rows;
    }
    std::string DisplayedText(std::size_t row, int column) const override {
        std::lock_guard lock(m_lock);
        for (const auto& s : stored)
            if (s.row == row && s.column == column)
                return s.text;
        return std::to_string(row) + ":" + std::to_string(column);
    }
    bool StoreDisplayed(std::size_t row, int column, const std::string& text) override {
        std::lock_guard lock(m_lock);
        stored.push_back({row, column, text});
        return true;
    }
    std::string DisplayedTitle() const override {
        return "history.nvh (" + std::to_string(DisplayedCount()) + ")";
    }
    std::string RecordingTitle() const override { return DisplayedTitle(); }
    bool ReadRecording(const std::filesystem::path&) override { return true; }
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
        std::size_t row;
        int column;
        std::string text;
    };
    std::vector<Stored> stored;

private:
    mutable std::recursive_mutex m_lock;
    std::size_t m_rows = 0;
    std::function<void()> m_changed;
};

// A station link whose pings finish when the test says so.
class FakeLink : public StationLink {
public:
    bool startResult = true;
    int pings = 0;
    int aborts = 0;

    bool Start(const std::string&) override { return running = startResult; }
    void Stop() override { running = false; }
    bool IsRunning() const override { return running; }
    bool QueuePing(const MessageTargetRef& target) override {
        if (queued)
            return false;
        queued = true;
        m_target = target;
        ++pings;
        return true;
    }
    FinishedRequest TakeRequest() override {
        if (m_finished.empty())
            throw std::runtime_error("No request");
        FinishedRequest request = m_finished.front();
        m_finished.pop_front();
        return request;
    }
    void AbortCurrent() override {
        if (!queued)
            throw std::runtime_error("No request");
        ++aborts;
    }
    // The queued ping comes back (posted as the worker would).
    void FinishPing(bool succeeded) {
        queued = false;
        m_finished.push_back({true, succeeded, "Ping Transmitters", succeeded ? "" : "No acknowledge"});
        PostTo(m_target, Message::WorkFinished);
    }
    bool running = false;
    bool queued = false;

private:
    MessageTargetRef m_target;
    std::deque<FinishedRequest> m_finished;
};
