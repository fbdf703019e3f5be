#include "ui/DesktopWorkspace.h"

#include "log/Logger.h"
#include "settings/OptionValues.h"

#include <QFileSystemWatcher>
#include <QSet>

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

DesktopWorkspace::DesktopWorkspace(QObject* parent)
    : QObject(parent), m_watcher(new QFileSystemWatcher(this)) {
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &DesktopWorkspace::OnFileChanged);
    // A change may come from a worker thread and may bring another file or one made just now (the
    // first import creates the recording file): the watch follows on this object's thread.
    m_watchFollows = m_workspace.Changed.connect([this] {
        QMetaObject::invokeMethod(
            this, [this] { Watch(false); }, Qt::QueuedConnection);
    });
}

DesktopWorkspace::~DesktopWorkspace() = default;

void DesktopWorkspace::Watch(bool renew) {
    QStringList wanted;
    for (const std::string& file :
         {m_workspace.RecordingFile().string(), m_workspace.DisplayedFile().string()}) {
        std::error_code ec;
        if (!file.empty() && std::filesystem::exists(file, ec) && !wanted.contains(FromUtf8(file)))
            wanted.append(FromUtf8(file));
    }
    const QStringList watched = m_watcher->files();
    if (!renew &&
        QSet<QString>(watched.begin(), watched.end()) == QSet<QString>(wanted.begin(), wanted.end()))
        return;
    if (!watched.isEmpty())
        m_watcher->removePaths(watched);
    if (!wanted.isEmpty())
        m_watcher->addPaths(wanted);
}

void DesktopWorkspace::OnFileChanged() {
    try {
        m_workspace.RefreshFromDisk(); // a store read again says so through the workspace's signal
    } catch (const std::exception& e) {
        CLogger::Instance().Log(10, "%s", e.what());
    }
    Watch(true);
}

std::size_t DesktopWorkspace::DisplayedCount() const {
    return m_workspace.Shown().Size();
}

std::string DesktopWorkspace::DisplayedText(std::size_t row, int column) const {
    return m_workspace.Shown().At(row).GetColumnText(column, CurrentColumnFormat());
}

HistoryOutcome DesktopWorkspace::StoreDisplayed(const CDataset& shown, int column, const std::string& text) {
    CDataset edited = shown;
    if (!edited.SetColumnFromText(column, text, CurrentColumnFormat()))
        return HistoryOutcome::Failure("\"" + text + "\" is no value");
    return m_workspace.UpdateDisplayed(shown, edited);
}

void DesktopWorkspace::ReadDisplayed(const std::function<void(std::span<const CDataset>)>& read) const {
    m_workspace.Shown().WithDatasets([&](const std::vector<CDataset>& datasets) { read(datasets); });
}

std::shared_ptr<const std::vector<CDataset>> DesktopWorkspace::DisplayedSnapshot() const {
    return m_workspace.Shown().Snapshot();
}

std::string DesktopWorkspace::DisplayedTitle() const {
    return m_workspace.DisplayedTitle();
}

std::string DesktopWorkspace::RecordingTitle() const {
    return m_workspace.RecordingTitle();
}

CHistoryData& DesktopWorkspace::Recording() {
    return m_workspace.Recording();
}

bool DesktopWorkspace::ReadRecording(const std::filesystem::path& file) {
    const bool read = m_workspace.ReadRecording(file);
    Watch(false);
    return read;
}

bool DesktopWorkspace::OpenDisplayed(const std::string& path) {
    const bool read = m_workspace.OpenDisplayed(path);
    Watch(false);
    return read;
}

bool DesktopWorkspace::AdoptDisplayed(LoadedHistory loaded) {
    const bool read = m_workspace.AdoptDisplayed(std::move(loaded));
    Watch(false);
    return read;
}

HistoryOutcome DesktopWorkspace::DeleteDisplayed(const std::vector<CDataset>& chosen) {
    return m_workspace.DeleteDisplayed(chosen);
}

HistoryOutcome DesktopWorkspace::ExportDisplayed(const std::string& path) {
    return m_workspace.ExportDisplayed(path, CurrentColumnFormat());
}

std::string DesktopWorkspace::DisplayedFileName() const {
    return m_workspace.DisplayedFile().string();
}

HistoryDamage DesktopWorkspace::DisplayedDamage() const {
    return m_workspace.Shown().Damage();
}

void DesktopWorkspace::Subscribe(std::function<void()> changed) {
    m_subscription.disconnect();
    if (changed)
        m_subscription = m_workspace.Changed.connect(std::move(changed));
}
