#include "ui/ChartView.h"

#include <QMouseEvent>
#include <QRubberBand>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

CChartView::CChartView(QChart* chart, QWidget* parent)
    : QChartView(chart, parent), m_band(new QRubberBand(QRubberBand::Rectangle, viewport())) {
    setRubberBand(QChartView::NoRubberBand); // ours reports fractions instead of zooming the axes
    setRenderHint(QPainter::Antialiasing);
    setDragMode(QGraphicsView::NoDrag);
    m_band->hide();
}

double CChartView::Fraction(const QPointF& pos) const {
    const QRectF plot = chart()->plotArea();
    if (plot.width() <= 0)
        return 0.5;
    const QPointF scene = mapToScene(pos.toPoint());
    const QPointF inChart = chart()->mapFromScene(scene);
    return (inChart.x() - plot.left()) / plot.width();
}

void CChartView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    const double notches = delta / 120.0;
    emit ZoomRequested(std::clamp(Fraction(event->position()), 0.0, 1.0), std::pow(WheelFactor, notches));
    event->accept();
}

void CChartView::mousePressEvent(QMouseEvent* event) {
    const bool pan = event->button() == Qt::MiddleButton ||
                     (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
    if (pan) {
        m_drag = Drag::Pan;
        m_dragStart = event->position();
        m_panned = 0;
        setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton && chart()->plotArea().contains(event->position())) {
        m_drag = Drag::Band;
        m_dragStart = event->position();
        const QRectF plot = chart()->plotArea();
        m_band->setGeometry(
            QRect(QPoint(int(m_dragStart.x()), int(plot.top())), QSize(1, int(plot.height()))));
        m_band->show();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void CChartView::mouseMoveEvent(QMouseEvent* event) {
    if (m_drag == Drag::Pan) {
        const QRectF plot = chart()->plotArea();
        if (plot.width() > 0) {
            // Dragging the plot to the right brings earlier times into view.
            const double total = -(event->position().x() - m_dragStart.x()) / plot.width();
            if (total != m_panned) {
                emit PanRequested(total - m_panned);
                m_panned = total;
            }
        }
        event->accept();
        return;
    }
    if (m_drag == Drag::Band) {
        const QRectF plot = chart()->plotArea();
        const double x = std::clamp(event->position().x(), plot.left(), plot.right());
        const double left = std::min(x, m_dragStart.x()), right = std::max(x, m_dragStart.x());
        m_band->setGeometry(
            QRect(QPoint(int(left), int(plot.top())), QPoint(int(right), int(plot.bottom()))));
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void CChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (m_drag == Drag::Pan) {
        m_drag = Drag::None;
        unsetCursor();
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton) {
        event->accept(); // the context menu, not the base view's zoom-out
        return;
    }
    if (m_drag == Drag::Band) {
        m_drag = Drag::None;
        m_band->hide();
        double a = Fraction(m_dragStart), b = Fraction(event->position());
        if (a > b)
            std::swap(a, b);
        a = std::clamp(a, 0.0, 1.0);
        b = std::clamp(b, 0.0, 1.0);
        // A plain click (a few pixels) is no zoom.
        if (std::abs(event->position().x() - m_dragStart.x()) >= 4 && b > a)
            emit SpanRequested(a, b);
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void CChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit WholeHistoryRequested();
        event->accept();
        return;
    }
    QChartView::mouseDoubleClickEvent(event);
}

void CChartView::contextMenuEvent(QContextMenuEvent* event) {
    emit ContextMenuRequested(event->globalPos());
    event->accept();
}
