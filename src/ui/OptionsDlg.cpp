#include "ui/OptionsDlg.h"

#include "log/Logger.h"
#include "platform/SerialPortList.h"
#include "settings/Options.h"
#include "settings/TextParts.h"
#include "ui/DialogUnits.h"
#include "ui/EditBrowserCtrl.h"
#include "ui/FileDialogs.h"
#include "ui/HistoryAccess.h"
#include "ui/MessageTexts.h"
#include "ui/MqttOptionsDlg.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QToolTip>

#include <fstream>

namespace {

PresentPortsSource& PortsSource() {
    static PresentPortsSource source;
    return source;
}

std::vector<std::string> PresentPorts() {
    return PortsSource() ? PortsSource()() : PresentSerialPorts();
}

constexpr std::uint16_t LanguageIds[] = {1033, 1031, 1036};

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

template <typename Control>
Control* Make(QWidget* dialog, int id, const DialogUnits& units, int x, int y, int w, int h,
              const QString& text = {}) {
    auto* control = new Control(dialog);
    if constexpr (std::is_same_v<Control, QGroupBox>)
        control->setTitle(text);
    else if constexpr (std::is_same_v<Control, QLabel> || std::is_same_v<Control, QPushButton>)
        control->setText(text);
    if (id != 0)
        SetControlId(control, id);
    units.Place(control, x, y, w, h);
    return control;
}

// The selected position's data, or nothing when the list has no selection.
std::optional<int> SelectedData(const QComboBox* list) {
    if (list->currentIndex() < 0)
        return std::nullopt;
    const QVariant data = list->currentData();
    return data.isValid() ? std::optional<int>(data.toInt()) : std::nullopt;
}

void NumberItems(QComboBox* list) {
    for (int i = 0; i < list->count(); ++i)
        list->setItemData(i, i);
}

} // namespace

std::optional<std::filesystem::path> RecordingFileFromText(const std::string& text) {
    const std::filesystem::path typed(text);
    const std::filesystem::path name = typed.filename();
    if (name.empty() || name == "." || name == "..")
        return std::nullopt;
    const std::filesystem::path folder = typed.parent_path();
    std::error_code error;
    if (!folder.empty() && !std::filesystem::is_directory(folder, error))
        return std::nullopt;
    return folder / (typed.stem().string() + ".nvh");
}

void SetPresentPortsSource(PresentPortsSource source) {
    PortsSource() = std::move(source);
}

COptionsDlg::COptionsDlg(HistoryAccess& history, QWidget* parent)
    : QDialog(parent), m_history(history), m_texts(this, 206) {
    SetUpDialogWindow(this);
    setWindowTitle(QStringLiteral("Options"));
    const DialogUnits units(this);
    // The application settings in two rows of two, so that long texts (German, French) widen the
    // dialog by little: it opens within the main window.
    units.Size(this, 306, 174);
    Make<QGroupBox>(this, 1173, units, 7, 4, 291, 66, QStringLiteral("Application Settings"));
    Make<QLabel>(this, 1194, units, 14, 15, 130, 8, QStringLiteral("Language"));
    m_language = Make<QComboBox>(this, 1171, units, 13, 24, 135, 13);
    Make<QLabel>(this, 1167, units, 156, 15, 130, 8, QStringLiteral("Date Format"));
    m_date = Make<QComboBox>(this, 1168, units, 155, 24, 135, 13);
    Make<QLabel>(this, 1169, units, 14, 41, 130, 8, QStringLiteral("Time Format"));
    m_time = Make<QComboBox>(this, 1170, units, 13, 50, 135, 13);
    Make<QLabel>(this, 1163, units, 156, 41, 130, 8, QStringLiteral("Temperature Unit"));
    m_unit = Make<QComboBox>(this, 1156, units, 155, 50, 135, 13);
    Make<QGroupBox>(this, 10214, units, 7, 76, 291, 66, QStringLiteral("Weather Station Settings"));
    Make<QLabel>(this, 1061, units, 13, 88, 62, 8, QStringLiteral("Port"));
    m_port = Make<QComboBox>(this, 1265, units, 11, 97, 65, 13);
    // Device paths can be long; the open list shows them whole, the closed box need not.
    m_port->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_port->setMinimumContentsLength(6);
    Make<QLabel>(this, 1264, units, 83, 88, 126, 8, QStringLiteral("Recording History File"));
    m_file = Make<CWtlEditBrowserCtrl>(this, 1263, units, 81, 97, 211, 13);
    Make<QLabel>(this, 100601, units, 13, 114, 279, 8,
                 QStringLiteral("Web report folder (empty: no report)"));
    m_reportFolder = Make<CWtlEditBrowserCtrl>(this, 0, units, 11, 123, 281, 13);
    m_ok = Make<QPushButton>(this, 1000, units, 7, 153, 50, 14, QStringLiteral("OK"));
    m_cancel = Make<QPushButton>(this, 1001, units, 59, 153, 50, 14, QStringLiteral("Cancel"));
    m_ok->setDefault(true);
    m_ok->setAutoDefault(true);
    m_cancel->setAutoDefault(false);
    auto* mqtt = Make<QPushButton>(this, 100513, units, 248, 153, 50, 14, QStringLiteral("MQTT..."));
    mqtt->setAutoDefault(false);
    connect(mqtt, &QPushButton::clicked, this, [this] { CMqttOptionsDlg(this).exec(); });
    // The group frames stay behind the controls drawn over them.
    for (QGroupBox* group : findChildren<QGroupBox*>())
        group->lower();

    connect(m_ok, &QPushButton::clicked, this, &COptionsDlg::OnOK);
    connect(m_cancel, &QPushButton::clicked, this, &COptionsDlg::OnCancel);
    connect(m_file, &CWtlEditBrowserCtrl::BrowseClicked, this, &COptionsDlg::OnBrowse);
    connect(m_reportFolder, &CWtlEditBrowserCtrl::BrowseClicked, this, &COptionsDlg::OnBrowseReportFolder);
    connect(m_language, &QComboBox::currentIndexChanged, this, &COptionsDlg::OnLanguageSelected);

    Initialise();
}

void COptionsDlg::Initialise() {
    COptionsImpl& options = Options();
    m_texts.SetLanguage(options.GetLanguageID(), false);
    RebuildPortList({});
    // The shown text may not give back the file's bytes (a name in another encoding): only a text
    // the user changed names a new file.
    m_shownFile = QFile::decodeName(QByteArray::fromStdString(options.GetRecordingHistoryFile().native()));
    m_file->setText(m_shownFile);
    // Shown as the import uses it: a relative folder counts from the options file's folder.
    m_shownReportFolder = QFile::decodeName(QByteArray::fromStdString(options.GetReportFolder().native()));
    m_reportFolder->setText(m_shownReportFolder);

    for (int i = 0; i < int(std::size(LanguageIds)) && i < m_language->count(); ++i)
        m_language->setItemData(i, LanguageIds[i]);
    m_language->setCurrentIndex(m_language->findData(int(options.GetLanguageID())));

    const std::pair<QComboBox*, int> formats[] = {{m_date, options.GetDateFormat()},
                                                  {m_time, options.GetTimeFormat()},
                                                  {m_unit, options.GetTemperatureFormat()}};
    for (const auto& [list, value] : formats) {
        NumberItems(list);
        list->setCurrentIndex(value < list->count() ? value : -1);
    }
    m_ok->setFocus(Qt::OtherFocusReason);
    m_file->deselect();
    m_initialising = false;
}

// The serial devices present now and "sim"; the option's own port is added when no item stands
// for it, so that a hand-made name is shown rather than lost. Nothing absent, never the console.
void COptionsDlg::RebuildPortList(const QString& selection) {
    std::vector<std::string> choices = PortChoices({}, PresentPorts());
    const std::string port = selection.isEmpty() ? Options().GetPort() : selection.toStdString();
    int position = port.empty() ? -1 : FindPortItem(choices, port);
    if (position < 0 && !port.empty()) {
        choices.push_back(port);
        position = int(choices.size()) - 1;
    }
    const QSignalBlocker blocker(m_port);
    m_port->clear();
    for (const std::string& choice : choices)
        m_port->addItem(FromUtf8(choice));
    m_port->setCurrentIndex(position);
}

void COptionsDlg::OnLanguageSelected(int position) {
    if (m_initialising || position < 0)
        return;
    const QVariant id = m_language->itemData(position);
    if (!id.isValid())
        return;
    const QString port = m_port->currentText();
    m_texts.ChangeLanguage(std::uint16_t(id.toInt()));
    RebuildPortList(port);
}

void COptionsDlg::OnBrowse() {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Open;
    request.filterName = Text(MessageText::HistoryFiles);
    request.pattern = QStringLiteral("*.nvh");
    request.defaultSuffix = QStringLiteral("nvh");
    request.initialFile = m_file->text();
    request.fileMustExist = false;
    if (const std::optional<QString> chosen = AskForFile(this, request)) {
        m_file->setText(*chosen);
        m_file->selectAll();
    }
}

void COptionsDlg::OnBrowseReportFolder() {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Folder;
    request.initialFile = m_reportFolder->text();
    if (const std::optional<QString> chosen = AskForFile(this, request))
        m_reportFolder->setText(*chosen);
}

void COptionsDlg::OnOK() {
    COptionsImpl& options = Options();
    // The file name first: a name that cannot be used keeps the dialog open and changes nothing.
    std::optional<std::filesystem::path> newFile;
    if (m_file->text() != m_shownFile) {
        const std::string fileText = QFile::encodeName(m_file->text()).toStdString();
        newFile = RecordingFileFromText(fileText);
        if (!newFile) {
            const QString message =
                QStringLiteral("\"%1\" cannot be the recording history file: give a file name in a folder "
                               "that exists.")
                    .arg(m_file->text());
            CLogger::Instance().Log(10, "%s", message.toStdString().c_str());
            m_file->setToolTip(message);
            QToolTip::showText(m_file->mapToGlobal(QPoint(0, m_file->height())), message, m_file);
            m_file->setFocus(Qt::OtherFocusReason);
            m_file->selectAll();
            return;
        }
    }

    // A list without a selection (no language file) keeps its option as it was.
    if (const std::optional<int> language = SelectedData(m_language);
        language && *language != options.GetLanguageID()) {
        options.SetLanguageID(std::uint16_t(*language));
        m_changes.language = true;
    }
    if (const std::optional<int> date = SelectedData(m_date); date && *date != options.GetDateFormat()) {
        options.SetDateFormat(*date);
        m_changes.format = true;
    }
    if (const std::optional<int> time = SelectedData(m_time); time && *time != options.GetTimeFormat()) {
        options.SetTimeFormat(*time);
        m_changes.format = true;
    }
    if (const std::optional<int> unit = SelectedData(m_unit);
        unit && *unit != options.GetTemperatureFormat()) {
        options.SetTemperatureFormat(*unit);
        m_changes.format = true;
    }
    if (m_port->currentIndex() >= 0) {
        const std::string port = m_port->currentText().toStdString();
        if (port != options.GetPort()) {
            options.SetPort(port);
            m_changes.port = true;
        }
    }
    if (newFile) {
        m_shownFile = QFile::decodeName(QByteArray::fromStdString(newFile->native()));
        m_file->setText(m_shownFile);
        options.SetRecordingHistoryFile(*newFile);
        {
            std::ofstream create(*newFile, std::ios::binary | std::ios::app);
        } // an empty file when there was none
        m_history.ReadRecording(*newFile);
        m_history.OpenDisplayed(newFile->string());
        m_changes.historyFile = true;
    }
    // The folder is created by the first report written into it; only a changed text is stored,
    // so that a relative folder from the options file stays relative.
    if (m_reportFolder->text() != m_shownReportFolder) {
        options.SetReportFolder(QFile::encodeName(m_reportFolder->text().trimmed()).toStdString());
        m_shownReportFolder = m_reportFolder->text();
    }
    if (!options.SaveOptions())
        CLogger::Instance().Log(10, "Options could not be saved to %s", options.FileName().string().c_str());
    done(Ok);
}

void COptionsDlg::OnCancel() {
    done(Cancel);
}

void COptionsDlg::reject() {
    OnCancel();
}

void COptionsDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept(); // Escape does not close this dialog
        return;
    }
    QDialog::keyPressEvent(event);
}

void COptionsDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnParent(this);
}
