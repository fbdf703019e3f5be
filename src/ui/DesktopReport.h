#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

// Refreshing the web report after the desktop's import: on a thread of its own so that a large
// history never holds up the window. What failed comes back as one line for the status bar.
class DesktopReport : public QObject {
    Q_OBJECT
public:
    explicit DesktopReport(QObject* parent) : QObject(parent) {}
    // Waits for a refresh under way (the window closes).
    ~DesktopReport() override;

    // Refreshes the report in the option ReportFolder from the recording history file, when a
    // folder is set and no refresh is under way (the next import brings this one's datasets too).
    void RefreshAfterImport();

signals:
    // Empty when the report was written, else one line saying what went wrong.
    void Finished(const QString& problem);

private:
    std::atomic<bool> m_running{false};
    std::function<void()> m_join;
};
