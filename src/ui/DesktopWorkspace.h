#pragma once

#include "history/HistoryWorkspace.h"
#include "ui/HistoryAccess.h"

#include <QObject>

class QFileSystemWatcher;

// The desktop's history workspace: the stores and which one is shown (HistoryWorkspace), seen by
// the windows through HistoryAccess, and the watch on the recording and the displayed file, so that
// what another process (the command-line import, a second window) writes to them is shown. The
// program builds one in main; it outlives the main window.
class DesktopWorkspace : public QObject, public HistoryAccess {
    Q_OBJECT
public:
    explicit DesktopWorkspace(QObject* parent = nullptr);
    ~DesktopWorkspace() override;

    HistoryWorkspace& Workspace() { return m_workspace; }
    const HistoryWorkspace& Workspace() const { return m_workspace; }

    std::size_t DisplayedCount() const override;
    std::string DisplayedText(std::size_t row, int column) const override;
    HistoryOutcome StoreDisplayed(const CDataset& shown, int column, const std::string& text) override;
    void ReadDisplayed(const std::function<void(std::span<const CDataset>)>& read) const override;
    std::shared_ptr<const std::vector<CDataset>> DisplayedSnapshot() const override;
    std::string DisplayedTitle() const override;
    std::string RecordingTitle() const override;
    CHistoryData& Recording() override;
    bool ReadRecording(const std::filesystem::path& file) override;
    bool OpenDisplayed(const std::string& path) override;
    bool AdoptDisplayed(LoadedHistory loaded) override;
    HistoryOutcome DeleteDisplayed(const std::vector<CDataset>& chosen) override;
    HistoryOutcome ExportDisplayed(const std::string& path) override;
    std::string DisplayedFileName() const override;
    HistoryDamage DisplayedDamage() const override;
    void Subscribe(std::function<void()> changed) override;

private:
    // Watches the recording and the displayed file as they are now; renew starts the watches
    // afresh (a rewrite renames a new file over the old one, and the watch went with the old file).
    void Watch(bool renew);
    void OnFileChanged();

    HistoryWorkspace m_workspace;
    QFileSystemWatcher* m_watcher;
    boost::signals2::scoped_connection m_watchFollows;
    boost::signals2::scoped_connection m_subscription;
};
