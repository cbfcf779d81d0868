#pragma once

#include "monitor/plot_decimate.h"
#include "monitor/plot_history.h"
#include "monitor/plot_scale.h"

#include <QChartView>
#include <QList>
#include <QString>
#include <map>
#include <optional>
#include <vector>

class QCategoryAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

// One of the plot's stacked charts: the gauges of one unit drawn against
// time, or the error flags as markers where they change. The charts share
// their time range; wheel and drag only ask the window to move it.
class CPlotChart : public QChartView
{
    Q_OBJECT

public:
    // `gauges` empty: the error-flags strip.
    CPlotChart(const QString& unit, std::vector<kestrum::monitor::Gauge> gauges,
               QWidget* parent = nullptr);

    void Draw(const std::vector<kestrum::monitor::PlotSample>& samples, double from, double to);
    void ShowTimeLabels(bool show);

    // What is drawn now: points and unbroken lines of a gauge, or flag markers.
    qsizetype PointCount(kestrum::monitor::Gauge gauge) const;
    qsizetype LineCount(kestrum::monitor::Gauge gauge) const;
    qsizetype MarkerCount() const;

signals:
    // `factor` < 1 zooms in around the time `anchor`.
    void zoomRequested(double factor, double anchor);
    void panRequested(double seconds);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Lines
    {
        QString name;
        QColor color;
        QList<QLineSeries*> series; // one per unbroken line, reused
    };

    void DrawLines(const std::vector<kestrum::monitor::PlotSample>& samples, double from,
                   double to);
    void DrawFlags(const std::vector<kestrum::monitor::PlotSample>& samples, double from,
                   double to);
    void SetTimeTicks(double from, double to);
    void SetValueScale(const kestrum::monitor::ValueScale& scale);
    QLineSeries* SeriesFor(Lines& lines, qsizetype index);
    void ShowFlagTip(const QPointF& point, bool entered);
    double TimeAt(const QPointF& viewPosition) const;

    std::map<kestrum::monitor::Gauge, Lines> lines_;
    QScatterSeries* flags_ = nullptr;
    QCategoryAxis* timeAxis_ = nullptr;
    QValueAxis* valueAxis_ = nullptr;
    std::vector<double> ticks_;            // of the time axis now
    kestrum::monitor::ValueScale scale_{}; // of the value axis now
    double from_ = 0;
    double to_ = 1;
    QList<QPointF> flagValues_; // time and value of each marker
    std::optional<QPointF> dragFrom_;
};
