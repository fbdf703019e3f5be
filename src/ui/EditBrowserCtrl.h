#pragma once

#include <QLineEdit>

class QAction;

// A line edit with a browse button ("…") at its right end; the button tells its owner through
// BrowseClicked. The button is disabled with the edit.
class CWtlEditBrowserCtrl : public QLineEdit {
    Q_OBJECT
public:
    explicit CWtlEditBrowserCtrl(QWidget* parent = nullptr);
    QAction* BrowseButton() const { return m_browse; }

signals:
    void BrowseClicked();

private:
    QAction* m_browse;
};
