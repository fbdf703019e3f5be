#pragma once

class QWidget;

// Places dialog controls as their templates give them, in dialog units: a quarter of the dialog
// font's average character width across, an eighth of its height down.
class DialogUnits {
public:
    explicit DialogUnits(const QWidget* dialog);
    void Place(QWidget* control, int x, int y, int width, int height) const;
    // Fixed client size of the dialog.
    void Size(QWidget* dialog, int width, int height) const;

private:
    int X(int units) const;
    int Y(int units) const;
    int m_baseX;
    int m_baseY;
};

// A dialog of ours: no close box in the caption, centred on its parent when shown.
void SetUpDialogWindow(QWidget* dialog);
void CentreOnParent(QWidget* dialog);
