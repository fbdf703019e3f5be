#pragma once

#include "ui/DialogTexts.h"
#include "ui/OptionsChange.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

#include <filesystem>
#include <optional>
#include <string>

class CWtlEditBrowserCtrl;
class HistoryAccess;
class QComboBox;
class QPushButton;

// The recording history file a typed text stands for: its folder, its name without the last
// extension, then ".nvh". Nothing when the text names no file (empty, ends in a separator) or its
// folder does not exist.
std::optional<std::filesystem::path> RecordingFileFromText(const std::string& text);

// Where the dialog learns the serial devices present; tests give a fixed list so that no test
// ever looks at the machine's devices. An empty function brings the system's list back.
using PresentPortsSource = std::function<std::vector<std::string>()>;
void SetPresentPortsSource(PresentPortsSource source);

// Language, date and time format, temperature unit, port, recording history file and the folder
// of the web report that every import refreshes. OK stores what changed, saves the options file
// and closes with 1; Cancel closes with 2 and stores nothing.
class COptionsDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int Ok = 1;
    static constexpr int Cancel = 2;

    COptionsDlg(HistoryAccess& history, QWidget* parent = nullptr);

    // What OK changed in the options.
    const OptionsChange& Changes() const { return m_changes; }

    QComboBox* LanguageList() const { return m_language; }
    QComboBox* DateList() const { return m_date; }
    QComboBox* TimeList() const { return m_time; }
    QComboBox* UnitList() const { return m_unit; }
    QComboBox* PortList() const { return m_port; }
    CWtlEditBrowserCtrl* HistoryFileEdit() const { return m_file; }
    CWtlEditBrowserCtrl* ReportFolderEdit() const { return m_reportFolder; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

public slots:
    void OnOK();
    void OnCancel();
    void OnBrowse();
    void OnBrowseReportFolder();
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Initialise();
    void OnLanguageSelected(int position);
    void RebuildPortList(const QString& selection);

    HistoryAccess& m_history;
    CTooltipHandlerImpl m_texts;
    QComboBox* m_language;
    QComboBox* m_date;
    QComboBox* m_time;
    QComboBox* m_unit;
    QComboBox* m_port;
    CWtlEditBrowserCtrl* m_file;
    QString m_shownFile; // the recording file as the field showed it before the user typed
    CWtlEditBrowserCtrl* m_reportFolder;
    QString m_shownReportFolder;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    bool m_initialising = true;
    OptionsChange m_changes;
};
