#pragma once

#include <QChartView>

// The chart's canvas and its mouse: the wheel zooms around the pointer, a drag across the plot
// zooms to the dragged time span (the rubber band), a drag with Shift or the middle button pans,
// a double click asks for the whole history, the right button opens the context menu.
// Positions are reported as fractions of the plot area's width, so the owner, which keeps the
// shown time window, needs no pixels.
class CChartView : public QChartView {
    Q_OBJECT
public:
    explicit CChartView(QChart* chart, QWidget* parent = nullptr);

    // Zoom step of one wheel notch.
    static constexpr double WheelFactor = 0.8;

signals:
    // Scale the window by factor (below 1 zooms in) keeping the time under at (0..1) in place.
    void ZoomRequested(double at, double factor);
    // Show the span between the two positions (0..1, ascending).
    void SpanRequested(double from, double to);
    // Move the window by this part of its width (positive moves to later times).
    void PanRequested(double by);
    void WholeHistoryRequested();
    void ContextMenuRequested(const QPoint& globalPos);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    double Fraction(const QPointF& pos) const;

    enum class Drag { None, Band, Pan } m_drag = Drag::None;
    QPointF m_dragStart;
    double m_panned = 0; // part of the width already reported during this pan
    class QRubberBand* m_band = nullptr;
};
