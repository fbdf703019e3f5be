#pragma once

#include "ui/DialogTexts.h"

#include <QDialog>

class QLabel;
class QPushButton;

// Asks before selected datasets are deleted: OK closes with 1, Cancel (and Escape) with 2.
class CDataDeleteDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int Ok = 1;
    static constexpr int Cancel = 2;

    explicit CDataDeleteDlg(QWidget* parent = nullptr);
    QLabel* Question() const { return m_question; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    CTooltipHandlerImpl m_texts;
    QLabel* m_question;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};
