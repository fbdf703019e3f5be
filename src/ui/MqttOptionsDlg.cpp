#include "ui/MqttOptionsDlg.h"

#include "log/Logger.h"
#include "publish/Publisher.h"
#include "settings/Options.h"
#include "ui/DialogUnits.h"
#include "ui/PublishTexts.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>

namespace {

template <typename Control>
Control* Make(QWidget* dialog, int id, const DialogUnits& units, int x, int y, int w, int h,
              const QString& text = {}) {
    auto* control = new Control(dialog);
    if constexpr (!std::is_same_v<Control, QLineEdit>)
        control->setText(text);
    if (id != 0)
        SetControlId(control, id);
    units.Place(control, x, y, w, h);
    return control;
}

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string Trimmed(const QLineEdit* edit) {
    return edit->text().trimmed().toStdString();
}

constexpr auto TestTimeout = std::chrono::seconds(5);

} // namespace

CMqttOptionsDlg::CMqttOptionsDlg(QWidget* parent) : QDialog(parent), m_texts(this, 100501) {
    SetUpDialogWindow(this);
    setWindowTitle(QStringLiteral("MQTT Publishing"));
    const DialogUnits units(this);
    units.Size(this, 260, 199);
    Make<QLabel>(this, 100502, units, 7, 7, 246, 8,
                 QStringLiteral("Broker (mqtt://host:port or mqtts://host:port; empty: off)"));
    m_broker = Make<QLineEdit>(this, 0, units, 7, 16, 246, 13);
    Make<QLabel>(this, 100503, units, 7, 34, 120, 8, QStringLiteral("Topic prefix"));
    m_topicPrefix = Make<QLineEdit>(this, 0, units, 7, 43, 120, 13);
    Make<QLabel>(this, 100505, units, 134, 34, 119, 8, QStringLiteral("Discovery prefix"));
    m_discoveryPrefix = Make<QLineEdit>(this, 0, units, 134, 43, 119, 13);
    m_discovery =
        Make<QCheckBox>(this, 100504, units, 7, 61, 246, 10, QStringLiteral("Home Assistant discovery"));
    Make<QLabel>(this, 100506, units, 7, 77, 246, 8,
                 QStringLiteral("CA file (mqtts; empty: the system's certificates)"));
    m_caFile = Make<QLineEdit>(this, 0, units, 7, 86, 246, 13);
    Make<QLabel>(this, 100507, units, 7, 104, 75, 8, QStringLiteral("User"));
    m_user = Make<QLineEdit>(this, 0, units, 7, 113, 75, 13);
    Make<QLabel>(this, 100508, units, 88, 104, 85, 8, QStringLiteral("Password file"));
    m_passwordFile = Make<QLineEdit>(this, 0, units, 88, 113, 85, 13);
    Make<QLabel>(this, 100509, units, 179, 104, 74, 8, QStringLiteral("or variable"));
    m_passwordEnv = Make<QLineEdit>(this, 0, units, 179, 113, 74, 13);
    m_test = Make<QPushButton>(this, 100510, units, 7, 133, 70, 14, QStringLiteral("Test connection"));
    m_result = Make<QLabel>(this, 0, units, 7, 151, 246, 24);
    m_result->setWordWrap(true);
    m_ok = Make<QPushButton>(this, 1000, units, 7, 178, 50, 14, QStringLiteral("OK"));
    m_cancel = Make<QPushButton>(this, 1001, units, 59, 178, 50, 14, QStringLiteral("Cancel"));
    m_ok->setDefault(true);

    connect(m_test, &QPushButton::clicked, this, &CMqttOptionsDlg::OnTest);
    connect(m_ok, &QPushButton::clicked, this, &CMqttOptionsDlg::OnOK);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &CMqttOptionsDlg::TestFinished, this, &CMqttOptionsDlg::ShowTestResult,
            Qt::QueuedConnection);

    m_texts.SetLanguage(Options().GetLanguageID(), false);
    m_loaded = Options().GetMqtt();
    m_broker->setText(FromUtf8(m_loaded.broker));
    m_broker->setPlaceholderText(QStringLiteral("mqtt://homeassistant.local"));
    m_topicPrefix->setText(FromUtf8(m_loaded.topicPrefix));
    m_discoveryPrefix->setText(FromUtf8(m_loaded.discoveryPrefix));
    m_discovery->setChecked(m_loaded.discovery);
    m_caFile->setText(FromUtf8(m_loaded.caFile));
    m_user->setText(FromUtf8(m_loaded.user));
    m_passwordFile->setText(FromUtf8(m_loaded.passwordFile));
    m_passwordEnv->setText(FromUtf8(m_loaded.passwordEnv));
}

CMqttOptionsDlg::~CMqttOptionsDlg() {
    if (m_testThread && m_testThread->joinable())
        m_testThread->join();
}

MqttOptions CMqttOptionsDlg::Settings() const {
    MqttOptions settings = m_loaded;
    settings.broker = Trimmed(m_broker);
    settings.topicPrefix = Trimmed(m_topicPrefix);
    settings.discoveryPrefix = Trimmed(m_discoveryPrefix);
    settings.discovery = m_discovery->isChecked();
    settings.caFile = Trimmed(m_caFile);
    settings.user = Trimmed(m_user);
    settings.passwordFile = Trimmed(m_passwordFile);
    settings.passwordEnv = Trimmed(m_passwordEnv);
    return settings;
}

void CMqttOptionsDlg::OnTest() {
    if (m_testThread && m_testThread->joinable())
        m_testThread->join();
    m_test->setEnabled(false);
    m_result->setText(Text(PublishText::Testing));
    const MqttOptions settings = Settings();
    // The login waits for the broker on its own thread: the dialog keeps answering.
    m_testThread = std::make_unique<std::thread>(
        [this, settings] { emit TestFinished(FromUtf8(TestConnection(settings, TestTimeout))); });
}

void CMqttOptionsDlg::ShowTestResult(const QString& problem) {
    m_result->setText(problem.isEmpty() ? Text(PublishText::Connected).arg(m_broker->text().trimmed())
                                        : problem);
    m_test->setEnabled(true);
}

void CMqttOptionsDlg::OnOK() {
    COptionsImpl& options = Options();
    options.SetMqtt(Settings());
    if (!Settings().broker.empty())
        EnsureDeviceId(options);
    if (!options.SaveOptions())
        CLogger::Instance().Log(10, "Options could not be saved to %s", options.FileName().string().c_str());
    accept();
}
