#pragma once

#include <QStringList>

class QWidget;

// Makes a dialog laid out in fixed positions hold its texts in every language: when a label,
// button, check box or drop-down list is narrower than its text, the dialog's columns widen
// in proportion (positions and widths alike, so nothing overlaps); a text taller than its
// control (a wrapped question) pushes what lies below it down and grows what encloses it.
void FitDialogTexts(QWidget* dialog);

// The texts of the controls smaller than their text needs, with both sizes (none when all fit).
QStringList UnfitTexts(const QWidget* dialog);
