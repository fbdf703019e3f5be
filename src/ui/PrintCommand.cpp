#include "ui/PrintCommand.h"

#include "log/Logger.h"
#include "settings/LangXml.h"
#include "settings/Options.h"
#include "settings/StartupDirectory.h"
#include "ui/DataModel.h"
#include "ui/DataView.h"
#include "ui/PrintJob.h"

#include <QEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace {

// Puts the page count into the dialog's caption every time the dialog is shown.
class CaptionSetter : public QObject {
public:
    CaptionSetter(QWidget* dialog, int pages) : QObject(dialog), m_dialog(dialog), m_pages(pages) {
        LoadMultiLangXml texts;
        texts.SetLanguage(Options().GetLanguageID());
        const std::string format = texts.Text(100007);
        m_format = QString::fromUtf8(format.data(), qsizetype(format.size()));
        dialog->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_dialog && event->type() == QEvent::Show) {
            if (m_caption.isNull())
                m_caption = m_dialog->windowTitle();
            m_dialog->setWindowTitle(PrintCaption(m_format, m_caption, m_pages));
        }
        return false;
    }

private:
    QWidget* m_dialog;
    int m_pages;
    QString m_format;
    QString m_caption;
};

} // namespace

std::unique_ptr<QPrinter> MakeDefaultPrinter() {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (QPrinterInfo::defaultPrinter().isNull()) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QString::fromStdString((StartupDirectory() / "Nivaro.pdf").string()));
    }
    return printer;
}

int PrintTable(CDataView& view, QPrinter& printer) {
    CListViewCtrlPrintJobInfo job(*view.Model());
    return PrintTable(view, job, printer);
}

int PrintTable(QWidget& owner, CListViewCtrlPrintJobInfo& job, QPrinter& printer) {
    const int counted = job.CountPages(printer);

    QPrintDialog dialog(&printer, &owner);
    dialog.setMinMax(1, counted);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    // Without a printer installed, a PDF file is the way to print.
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    new CaptionSetter(&dialog, counted);
    if (dialog.exec() != QDialog::Accepted)
        return 0;

    // Counted again with the paper and orientation chosen in the dialog.
    printer.setDocName(QStringLiteral("Data Logger Document"));
    printer.setPrintRange(QPrinter::AllPages);
    const int pages = job.CountPages(printer);
    job.SetPageCount(pages);
    if (pages == 0) {
        CLogger::Instance().Log(30, "Nothing to print");
        return 0;
    }
    return RunPrintJob(job, printer, pages) ? pages : 0;
}
