// Printing the table into PDF files, checked with the poppler tools.
#include "history/HistoryData.h"
#include "settings/Options.h"
#include "station/StationImage.h"
#include "ui/DataModel.h"
#include "ui/DataView.h"
#include "ui/DesktopWorkspace.h"
#include "ui/PrintCommand.h"
#include "ui/PrintJob.h"
#include "ui/QtTranslations.h"

#include "TempDir.h"
#include "UiTests.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QtTest>

namespace {

QString Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>")
            .arg(program, QString::fromLocal8Bit(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}

int PdfPages(const std::filesystem::path& pdf) {
    const QString info = Run(QStringLiteral("pdfinfo"), {QString::fromStdString(pdf.string())});
    static const QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)"));
    const QRegularExpressionMatch match = pages.match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QString PdfText(const std::filesystem::path& pdf, int page) {
    const QString number = QString::number(page);
    return Run(QStringLiteral("pdftotext"),
               {QStringLiteral("-layout"), QStringLiteral("-f"), number, QStringLiteral("-l"), number,
                QString::fromStdString(pdf.string()), QStringLiteral("-")});
}

// The text extraction closes up the blanks of "1 / 3".
bool HasFooter(const QString& text, int page, int pages) {
    return text.contains(QRegularExpression(QStringLiteral("(^|\\s)%1\\s*/\\s*%2\\s*$").arg(page).arg(pages),
                                            QRegularExpression::MultilineOption));
}

// A row shows its number first, then its date.
bool HasRow(const QString& text, int row) {
    return text.contains(QRegularExpression(QStringLiteral("^\\s*%1\\s+\\d\\d\\.\\d\\d\\.\\d{4}").arg(row),
                                            QRegularExpression::MultilineOption));
}

} // namespace

class PrintTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_folder = std::make_unique<TempDir>();
        Options().SetLanguageID(1033);
        Options().SetNrOfTransmitters(3);
        Options().SetTemperatureFormat(0);
        m_file = *m_folder / "history.nvh";
        Options().SetRecordingHistoryFile(m_file);
        WriteWholeFile(m_file, "");
        QVERIFY(m_history.ReadRecording(m_file));
        QVERIFY(m_history.OpenDisplayed(m_file.string()));
        m_view = std::make_unique<CDataView>(m_history);
        m_pdf = *m_folder / "printout.pdf";
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setOutputFormat(QPrinter::PdfFormat);
        m_printer->setOutputFileName(QString::fromStdString(m_pdf.string()));
        m_printer->setPageSize(QPageSize(QPageSize::A4));
    }
    void cleanup() {
        m_view.reset();
        m_history.Recording().Clear();
        Options().SetRecordingHistoryFile(Options().GetDefaultHistoryFile());
        m_history.OpenDisplayed(Options().GetDefaultHistoryFile());
        m_folder.reset();
    }

    void anEmptyTableCountsNoPage() {
        CListViewCtrlPrintJobInfo job(*m_view->Model());
        QCOMPARE(job.CountPages(*m_printer), 0);
        QVERIFY(!RunPrintJob(job, *m_printer, 0));
        QVERIFY(!std::filesystem::exists(m_pdf));
    }

    void aFullPageOfRowsPrintsOnePage() {
        CListViewCtrlPrintJobInfo job(*m_view->Model());
        job.BeginPrintJob(*m_printer);
        const int rows = job.RowsPerPage();
        QVERIFY(rows > 20);
        Fill(rows);
        QCOMPARE(job.CountPages(*m_printer), 1);
        job.SetPageCount(1);
        QVERIFY(RunPrintJob(job, *m_printer, 1));
        QCOMPARE(PdfPages(m_pdf), 1);
        const QString text = PdfText(m_pdf, 1);
        QVERIFY(HasFooter(text, 1, 1));
        QVERIFY(HasRow(text, 0));
        QVERIFY(HasRow(text, rows - 1));
        Fill(rows + 1);
        QCOMPARE(job.CountPages(*m_printer), 2); // one row more needs a page more
    }

    void everyPageStartsWithTheHeaderAndRowsAreNeverSplit() {
        CListViewCtrlPrintJobInfo job(*m_view->Model());
        job.BeginPrintJob(*m_printer);
        const int perPage = job.RowsPerPage();
        Fill(2 * perPage + 5);
        const int pages = job.CountPages(*m_printer);
        QCOMPARE(pages, 3);
        job.SetPageCount(pages);
        QVERIFY(RunPrintJob(job, *m_printer, pages));
        QCOMPARE(PdfPages(m_pdf), 3);
        for (int page = 1; page <= 3; ++page) {
            const QString text = PdfText(m_pdf, page);
            QVERIFY2(text.contains(QStringLiteral("Indoor")), qPrintable(text)); // wrapped title words
            QVERIFY(text.contains(QStringLiteral("Humidity")));
            QVERIFY(HasFooter(text, page, 3));
            // The page's first and last row.
            QVERIFY(HasRow(text, (page - 1) * perPage));
            QVERIFY(HasRow(text, std::min(page * perPage, 2 * perPage + 5) - 1));
            QVERIFY(!HasRow(text, std::min(page * perPage, 2 * perPage + 5)));
        }
        // Kept beside the build for the documentation's sample page.
        std::filesystem::copy_file(m_pdf, std::filesystem::path(QT_TESTCASE_BUILDDIR) / "printout-sample.pdf",
                                   std::filesystem::copy_options::overwrite_existing);
    }

    // With five transmitters the table is wider than an A4 page in portrait (by about half with the
    // usual fonts): every title and value is printed, the columns that do not fit on a page of
    // their own with the same rows.
    void everyColumnIsPrintedWithFiveTransmitters_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << 1033;
        QTest::newRow("German") << 1031;
        QTest::newRow("French") << 1036;
    }
    void everyColumnIsPrintedWithFiveTransmitters() {
        QFETCH(int, language);
        Options().SetLanguageID(std::uint16_t(language));
        // The history holds five transmitters while the station reports three: the table, and so
        // the printout, has the history's columns.
        Options().SetNrOfTransmitters(3);
        m_view = std::make_unique<CDataView>(m_history);
        CListViewCtrlPrintJobInfo job(*m_view->Model());
        job.BeginPrintJob(*m_printer);
        const int perPage = job.RowsPerPage();
        std::vector<CDataset> datasets;
        for (int i = 0; i < perPage + 3; ++i) {
            CDataset d;
            d.SetDateTime(CDateTime(CDateTime(2024, 5, 1, 0, 0, 0).Value() + i * 5 / 1440.0));
            for (int sensor = 0; sensor < CDataset::SensorCount; ++sensor) {
                d.SetTemperature(sensor, 10.0f + float(sensor) + 0.1f * float(sensor + 1));
                d.SetHumidity(sensor, float(40 + 11 * sensor));
            }
            datasets.push_back(d);
        }
        m_history.Recording().Clear();
        std::filesystem::remove(m_file);
        QVERIFY(m_history.Recording().Append(m_file, datasets));
        m_view->Refill();
        const QAbstractItemModel& model = *m_view->Model();
        QCOMPARE(model.columnCount(), 14);

        const int pages = job.CountPages(*m_printer);
        const int across = int(job.ColumnGroups().size());
        QCOMPARE(pages, 2 * across);
        job.SetPageCount(pages);
        QVERIFY(RunPrintJob(job, *m_printer, pages));
        QCOMPARE(PdfPages(m_pdf), pages);

        // Every page has the key columns and its footer; each page across shows the same rows.
        QString all;
        for (int page = 1; page <= pages; ++page) {
            const QString text = PdfText(m_pdf, page);
            QVERIFY(HasFooter(text, page, pages));
            QVERIFY2(HasRow(text, page <= across ? 0 : perPage), qPrintable(text));
            all += text;
        }
        for (int column = 0; column < model.columnCount(); ++column) {
            const QString title = model.headerData(column, Qt::Horizontal).toString();
            for (const QString& word : title.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                QVERIFY2(all.contains(word),
                         qPrintable(QStringLiteral("title word %1 of column %2").arg(word).arg(column)));
            const QString value = model.data(model.index(0, column)).toString();
            QVERIFY2(all.contains(value),
                     qPrintable(QStringLiteral("value %1 of column %2").arg(value).arg(column)));
        }
        Options().SetLanguageID(1033);
        Options().SetNrOfTransmitters(3);
    }

    void columnGroups_data() {
        QTest::addColumn<std::vector<int>>("widths");
        QTest::addColumn<int>("keys");
        QTest::addColumn<int>("pageWidth");
        QTest::addColumn<std::vector<std::vector<int>>>("expected");
        QTest::newRow("all fit") << std::vector<int>{10, 20, 30} << 1 << 60
                                 << std::vector<std::vector<int>>{{0, 1, 2}};
        QTest::newRow("split behind the keys")
            << std::vector<int>{10, 20, 30, 30, 30} << 2 << 70
            << std::vector<std::vector<int>>{{0, 1, 2}, {0, 1, 3}, {0, 1, 4}};
        QTest::newRow("two a page") << std::vector<int>{10, 20, 20, 20, 20} << 1 << 50
                                    << std::vector<std::vector<int>>{{0, 1, 2}, {0, 3, 4}};
        QTest::newRow("a column wider than the page")
            << std::vector<int>{10, 100, 20} << 1 << 50 << std::vector<std::vector<int>>{{0, 1}, {0, 2}};
        QTest::newRow("keys only") << std::vector<int>{10, 20} << 2 << 5
                                   << std::vector<std::vector<int>>{{0, 1}};
        QTest::newRow("no columns") << std::vector<int>{} << 2 << 50 << std::vector<std::vector<int>>{{}};
    }
    void columnGroups() {
        QFETCH(std::vector<int>, widths);
        QFETCH(int, keys);
        QFETCH(int, pageWidth);
        QFETCH(std::vector<std::vector<int>>, expected);
        QCOMPARE(PrintColumnGroups(widths, keys, pageWidth), expected);
    }

    // The caption is in one language: ours around the page count, Qt's for the dialog's own title.
    void thePrintDialogShowsThePageCountInItsCaption_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("expected");
        QTest::newRow("English") << 1033 << QStringLiteral("Print - 2 pages");
        QTest::newRow("German") << 1031 << QStringLiteral("Drucken - 2 Seiten");
        QTest::newRow("French") << 1036 << QStringLiteral("Imprimer - 2 pages");
    }
    void thePrintDialogShowsThePageCountInItsCaption() {
        QFETCH(int, language);
        QFETCH(QString, expected);
        Options().SetLanguageID(std::uint16_t(language));
        UseQtTranslations(std::uint16_t(language));
        CListViewCtrlPrintJobInfo job(*m_view->Model());
        job.BeginPrintJob(*m_printer);
        Fill(job.RowsPerPage() + 1);
        QString caption;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            caption = dialog->windowTitle();
            dialog->accept();
        });
        const int printed = PrintTable(*m_view, *m_printer);
        Options().SetLanguageID(1033);
        UseQtTranslations(1033);
        QCOMPARE(printed, 2);
        QCOMPARE(caption, expected);
        QCOMPARE(PdfPages(m_pdf), 2);
        QCOMPARE(m_printer->docName(), QStringLiteral("Data Logger Document"));
    }

    void captionFormatting_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text") << QStringLiteral("%s - %d pages") << QStringLiteral("Print - 4 pages");
        QTest::newRow("order") << QStringLiteral("%d Seiten: %s") << QStringLiteral("4 Seiten: Print");
        QTest::newRow("percent") << QStringLiteral("%s (100%%)") << QStringLiteral("Print (100%)");
        QTest::newRow("foreign") << QStringLiteral("%s %n %x %") << QStringLiteral("Print %n %x %");
        QTest::newRow("missing") << QString() << QString();
    }
    void captionFormatting() {
        QFETCH(QString, format);
        QFETCH(QString, expected);
        QCOMPARE(PrintCaption(format, QStringLiteral("Print"), 4), expected);
    }

private:
    void Fill(int rows) {
        std::vector<CDataset> datasets;
        for (int i = 0; i < rows; ++i)
            datasets.push_back(
                MakeMeasurement(CDateTime(CDateTime(2024, 5, 1, 0, 0, 0).Value() + i * 5 / 1440.0), 3, 11));
        m_history.Recording().Clear();
        std::filesystem::remove(m_file);
        QVERIFY(m_history.Recording().Append(m_file, datasets));
        m_view->Refill();
        QCOMPARE(m_view->Model()->rowCount(), rows);
    }

    std::unique_ptr<TempDir> m_folder;
    std::filesystem::path m_file;
    std::filesystem::path m_pdf;
    DesktopWorkspace m_history;
    std::unique_ptr<CDataView> m_view;
    std::unique_ptr<QPrinter> m_printer;
};

static RegisterUiTest<PrintTest> registerPrintTest;

#include "PrintTest.moc"
