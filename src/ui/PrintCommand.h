#pragma once

#include <memory>

class CDataView;
class CListViewCtrlPrintJobInfo;
class QPrinter;
class QWidget;

// The printer the Print command starts from: the default printer, or a PDF file in the start-up
// directory when no printer is installed.
std::unique_ptr<QPrinter> MakeDefaultPrinter();

// The Print command: counts the pages on the printer, shows the print dialog with the count in
// its caption, and on OK prints every page with the settings chosen there. Returns the pages
// printed (0 when cancelled or when there was nothing to print).
int PrintTable(CDataView& view, QPrinter& printer);
// The same for any table, the dialog owned by owner; the job as CListViewCtrlPrintJobInfo lays it out.
int PrintTable(QWidget& owner, CListViewCtrlPrintJobInfo& job, QPrinter& printer);
