#include "ui/DataDeleteDlg.h"

#include "settings/Options.h"
#include "ui/DialogUnits.h"

#include <QLabel>
#include <QPushButton>

CDataDeleteDlg::CDataDeleteDlg(QWidget* parent) : QDialog(parent), m_texts(this, 210) {
    SetUpDialogWindow(this);
    setWindowTitle(QStringLiteral("Delete datasets..."));
    const DialogUnits units(this);
    units.Size(this, 186, 54);
    // The number of datasets is not filled in: the template's sample text stands until the
    // language file replaces it.
    m_question = new QLabel(QStringLiteral("Do you really want to delete 5 datasets?"), this);
    m_question->setAlignment(Qt::AlignCenter);
    m_question->setWordWrap(true);
    SetControlId(m_question, 1008);
    units.Place(m_question, 7, 8, 172, 19);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    SetControlId(m_ok, 1006);
    units.Place(m_ok, 34, 32, 50, 14);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    SetControlId(m_cancel, 1007);
    units.Place(m_cancel, 100, 32, 50, 14);
    m_cancel->setAutoDefault(false);
    connect(m_ok, &QPushButton::clicked, this, [this] { done(Ok); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { done(Cancel); });
    m_texts.SetLanguage(Options().GetLanguageID(), false);
}

void CDataDeleteDlg::reject() {
    done(Cancel);
}

void CDataDeleteDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnParent(this);
}
