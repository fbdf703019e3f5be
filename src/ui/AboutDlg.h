#pragma once

#include "ui/DialogTexts.h"

#include <QDialog>

class QLabel;
class QPushButton;

// The about box: the program icon and the about text of the option Version. Its button closes
// it with 1010, Enter with 1 and Escape with 2.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int Button = 1010;
    static constexpr int Ok = 1;
    static constexpr int Cancel = 2;

    explicit CAboutDlg(QWidget* parent = nullptr);
    QLabel* AboutText() const { return m_text; }
    QPushButton* OkButton() const { return m_ok; }

public slots:
    void accept() override;
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    CTooltipHandlerImpl m_texts;
    QLabel* m_text;
    QPushButton* m_ok;
};
