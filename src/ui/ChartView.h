#pragma once

#include "history/ChartPoints.h"
#include "history/ValueTicks.h"

#include <QColor>
#include <QLocale>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

// What the chart canvas draws, in the units shown: the time window, each series' line (its band
// where a pixel column holds many datasets), the value ranges of the two panels and the texts.
struct ChartPicture {
    struct Series {
        QString name;
        QColor colour;
        bool humidity = false;
        bool visible = true;
        ChartLine line; // temperatures already in the unit shown
    };
    DATE from = 0, to = 1;
    bool daily = false; // a point of many datasets stands for a day
    std::vector<Series> series;
    double temperatureLow = 0, temperatureHigh = 30;
    double humidityLow = 0, humidityHigh = 100;
    QString temperatureTitle, humidityTitle, temperatureUnit;
    QString message;             // shown over the plots when there is nothing to draw
    std::string dateTimePattern; // the options' pattern, for the pointer's label and the ticks
    QLocale locale;              // month names of the language
};

// The chart's canvas and its mouse. Two panels share the time axis: temperatures above,
// humidities below, each headed by its title and a legend whose entries show or hide a series
// when clicked. Where many datasets share a pixel column, a band from their minimum to their
// maximum is drawn under the line of their mean. Over the plots a crosshair follows the pointer
// with the date-time and the values of the visible series there.
// The wheel zooms around the pointer, a drag across the plots zooms to the dragged time span, a
// drag with Shift or the middle button pans, a double click asks for the whole history, the right
// button opens the context menu. Positions are reported as fractions of the plots' width, so the
// owner, which keeps the shown time window, needs no pixels.
class CChartView : public QWidget {
    Q_OBJECT
public:
    explicit CChartView(QWidget* parent = nullptr);

    // Zoom step of one wheel notch.
    static constexpr double WheelFactor = 0.8;

    void SetPicture(ChartPicture picture);
    const ChartPicture& Picture() const { return m_picture; }
    // Where the panels are drawn, and each series' legend entry (empty for none).
    QRectF TemperaturePlot() const;
    QRectF HumidityPlot() const;
    QRectF LegendEntry(std::size_t series) const;
    // Paints the chart, without the pointer, as the widget shows it (saving a chart paints it so).
    void PaintChart(QPainter& painter) const;
    // The text of the pointer's label at a point of the widget; empty away from the plots.
    QString ValuesAt(const QPointF& pos) const;

signals:
    // Scale the window by factor (below 1 zooms in) keeping the time under at (0..1) in place.
    void ZoomRequested(double at, double factor);
    // Show the span between the two positions (0..1, ascending).
    void SpanRequested(double from, double to);
    // Move the window by this part of its width (positive moves to later times).
    void PanRequested(double by);
    void WholeHistoryRequested();
    void ContextMenuRequested(const QPoint& globalPos);
    // A legend entry was clicked.
    void SeriesToggled(std::size_t series);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Layout {
        QRectF temperatureHeader, humidityHeader;
        QRectF temperaturePlot, humidityPlot;
        std::vector<QRectF> legend; // per series
    };
    void Arrange();
    double LegendHeight(bool humidity, double left, double width, std::vector<QRectF>* entries) const;
    double Fraction(const QPointF& pos) const;
    bool OverPlots(const QPointF& pos) const;
    double XOf(DATE date) const;
    // A panel's value axis, as many round ticks as its height holds, and where a value is on it.
    ValueTicks PanelTicks(bool humidity) const;
    double YOf(bool humidity, double value) const;
    DATE DateAt(double x) const;
    void PaintPanel(QPainter& painter, bool humidity) const;
    void PaintTimeAxis(QPainter& painter) const;
    void PaintLegend(QPainter& painter) const;
    void PaintCrosshair(QPainter& painter) const;
    // The point of each visible series nearest to the date, if one lies within a few pixels.
    std::vector<std::optional<ChartPoint>> PointsAt(DATE date) const;

    ChartPicture m_picture;
    Layout m_layout;
    enum class Drag { None, Band, Pan } m_drag = Drag::None;
    QPointF m_dragStart;
    double m_panned = 0; // part of the width already reported during this pan
    std::optional<QPointF> m_pointer;
    mutable QPixmap m_cache; // the chart under the pointer
    class QRubberBand* m_band = nullptr;
};
