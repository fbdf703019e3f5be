#pragma once

#include <QIcon>
#include <QStatusBar>
#include <QString>

#include <vector>

class QLabel;

// The main window's status bar: panes addressed by number, not by position. Pane 0 is the
// general message pane and takes the width the numbered panes leave.
class CMPSBarWithAnimation : public QStatusBar {
    Q_OBJECT
public:
    // Pane numbers of the main window.
    static constexpr int LinkPane = 129;
    static constexpr int DisplayedPane = 204;
    static constexpr int RecordingPane = 203;

    explicit CMPSBarWithAnimation(QWidget* parent = nullptr);

    // Creates the panes in this order. A numbered pane is as wide as its width text (its "string
    // resource": 5 blanks for the link pane, 52 for the history panes) in the bar's font, plus 6
    // pixels; with setTexts the pane starts with that text.
    bool SetPanes(const std::vector<int>& panes, bool setTexts);
    bool SetPaneText(int pane, const QString& text);
    bool GetPaneText(int pane, QString& text) const;
    bool SetPaneIcon(int pane, const QIcon& icon);
    bool GetPaneIcon(int pane, QIcon& icon) const;
    // The key of the icon last set, to tell icons apart ("" when none).
    QString PaneIconName(int pane) const;
    bool SetPaneIcon(int pane, const QIcon& icon, const QString& name);
    // The text shown when the pointer rests on the pane.
    bool SetPaneToolTip(int pane, const QString& text);
    QString PaneToolTip(int pane) const;
    // Pane widths (tests).
    int PaneWidth(int pane) const;

private:
    struct Pane {
        int number;
        QWidget* box;
        QLabel* icon;
        QLabel* text;
        QIcon iconValue;
        QString iconName;
    };
    Pane* Find(int pane);
    const Pane* Find(int pane) const;
    static QString WidthText(int pane);

    std::vector<Pane> m_panes;
};
