#pragma once

#include "monitor/plot_decimate.h"
#include "monitor/plot_history.h"
#include "monitor/plot_scale.h"

#include <QColor>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

// One of the plot's stacked charts: the gauges of one unit drawn against
// time, or the error flags as markers where they change. The charts share
// their time range; wheel and drag only ask the window to move it.
//
// Draw does the work that grows with the readings (picking the points of
// each pixel column, the scales and ticks); painting only maps those few
// points to pixels, so a repaint costs the same over a minute or a day.
class CPlotChart : public QWidget
{
    Q_OBJECT

public:
    // `gauges` empty: the error-flags strip.
    CPlotChart(const QString& unit, std::vector<kestrum::monitor::Gauge> gauges,
               QWidget* parent = nullptr);

    void Draw(const std::vector<kestrum::monitor::PlotSample>& samples, double from, double to);
    void ShowTimeLabels(bool show);

    // Where the readings are drawn, in the chart's pixels. The margins are
    // the same on every chart, so that their time axes line up.
    QRectF PlotArea() const;

    // What is drawn now: points and unbroken lines of a gauge, or flag markers.
    qsizetype PointCount(kestrum::monitor::Gauge gauge) const;
    qsizetype LineCount(kestrum::monitor::Gauge gauge) const;
    qsizetype MarkerCount() const;
    // The tip of the flag marker under `position`, empty where there is none.
    QString FlagTipAt(const QPointF& position) const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

signals:
    // `factor` < 1 zooms in around the time `anchor`.
    void zoomRequested(double factor, double anchor);
    void panRequested(double seconds);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct Lines
    {
        kestrum::monitor::Gauge gauge;
        QString name;
        QColor color;
        std::vector<kestrum::monitor::PlotSegment> segments; // as last drawn
    };

    void DrawLines(const std::vector<kestrum::monitor::PlotSample>& samples, double from,
                   double to);
    void PaintGrid(QPainter& painter, const QRectF& area) const;
    void PaintLines(QPainter& painter, const QRectF& area) const;
    void PaintFlags(QPainter& painter, const QRectF& area) const;
    void PaintLegend(QPainter& painter, const QRectF& area) const;
    QPointF ToPixel(const QRectF& area, double time, double value) const;
    double TimeAt(const QPointF& position) const;
    bool IsFlags() const { return lines_.empty(); }

    QString unit_;
    bool timeLabels_ = true;
    std::vector<Lines> lines_;
    std::vector<kestrum::monitor::PlotPoint> flags_; // time and flags of each marker
    std::vector<double> ticks_;                      // of the time axis
    kestrum::monitor::ValueScale scale_{};           // of the value axis
    double from_ = 0;
    double to_ = 1;
    std::optional<QPointF> dragFrom_;
    bool tipShown_ = false;
};
