#pragma once

#include "settings/MqttOptions.h"
#include "ui/DialogTexts.h"

#include <QDialog>

#include <memory>
#include <thread>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Publishing to an MQTT broker: the broker, the topics, Home Assistant discovery and the login
// (the password stays in its file or environment variable). "Test connection" logs in and says
// what happened. OK stores the settings and saves the options file.
class CMqttOptionsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CMqttOptionsDlg(QWidget* parent = nullptr);
    ~CMqttOptionsDlg() override;

    // The settings as the fields show them (device id and import interval as they were).
    MqttOptions Settings() const;

    QLineEdit* BrokerEdit() const { return m_broker; }
    QPushButton* TestButton() const { return m_test; }
    QLabel* TestResult() const { return m_result; }
    QPushButton* OkButton() const { return m_ok; }

signals:
    void TestFinished(const QString& problem); // empty: connected

private:
    void OnTest();
    void OnOK();
    void ShowTestResult(const QString& problem);

    CTooltipHandlerImpl m_texts;
    MqttOptions m_loaded;
    QLineEdit* m_broker;
    QLineEdit* m_topicPrefix;
    QLineEdit* m_discoveryPrefix;
    QCheckBox* m_discovery;
    QLineEdit* m_caFile;
    QLineEdit* m_user;
    QLineEdit* m_passwordFile;
    QLineEdit* m_passwordEnv;
    QPushButton* m_test;
    QLabel* m_result;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    std::unique_ptr<std::thread> m_testThread;
};
