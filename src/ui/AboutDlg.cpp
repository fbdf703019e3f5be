#include "ui/AboutDlg.h"

#include "settings/Options.h"
#include "ui/DialogUnits.h"

#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_texts(this, 100) {
    SetUpDialogWindow(this);
    setWindowTitle(QStringLiteral("About"));
    const DialogUnits units(this);
    units.Size(this, 159, 135);
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    units.Place(frame, 7, 7, 145, 101);
    auto* icon = new QLabel(this);
    units.Place(icon, 65, 26, 20, 20);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/nivaro.svg")).pixmap(icon->size()));
    icon->setAlignment(Qt::AlignCenter);
    m_text = new QLabel(this);
    m_text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_text->setWordWrap(true);
    SetControlId(m_text, 1009);
    units.Place(m_text, 7, 57, 142, 42);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    SetControlId(m_ok, 1010);
    units.Place(m_ok, 53, 114, 50, 14);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, [this] { done(Button); });

    COptionsImpl& options = Options();
    m_texts.SetLanguage(options.GetLanguageID(), false);
    const std::string about = m_texts.Texts().Text(options.GetVersion() == 1 ? 100008 : 100009);
    m_text->setText(QString::fromUtf8(about.data(), qsizetype(about.size())));
}

void CAboutDlg::accept() {
    done(Ok);
}

void CAboutDlg::reject() {
    done(Cancel);
}

void CAboutDlg::keyPressEvent(QKeyEvent* event) {
    // Enter closes with OK even though the button has the focus and its own command.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CAboutDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnParent(this);
}
