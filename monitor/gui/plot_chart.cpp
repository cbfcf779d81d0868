#include "monitor/gui/plot_chart.h"

#include "monitor/plot_scale.h"
#include "monitor/plot_time.h"

#include <QCategoryAxis>
#include <QCursor>
#include <QDateTime>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QScatterSeries>
#include <QTimeZone>
#include <QToolTip>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

using kestrum::monitor::Gauge;
using kestrum::monitor::PlotSample;

namespace {

QColor ColorOf(Gauge gauge)
{
    switch (gauge) {
    case Gauge::Throttle:
        return QColor(0x1f, 0x77, 0xb4);
    case Gauge::Temperature:
        return QColor(0xd6, 0x27, 0x28);
    case Gauge::Voltage:
        return QColor(0x2c, 0xa0, 0x2c);
    case Gauge::OutputCurrent:
        return QColor(0x94, 0x67, 0xbd);
    default:
        return QColor(0xff, 0x7f, 0x0e);
    }
}

// The civil seconds of the time axis are local clock readings kept as UTC.
QDateTime ClockTime(double seconds)
{
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(seconds * 1000)),
                                          QTimeZone::utc());
}

constexpr double kFlagsRow = 0.5;
// Room for the value labels and unit, for the legend, and for time labels.
constexpr double kLeftMargin = 90;
constexpr double kRightMargin = 180;
constexpr double kEdge = 20;
constexpr double kLabelsHeight = 30;
constexpr double kWheelZoom = 0.8; // per notch

} // namespace

CPlotChart::CPlotChart(const QString& unit, std::vector<Gauge> gauges, QWidget* parent)
    : QChartView(new QChart, parent)
{
    QChart* c = chart();
    c->setMargins(QMargins(2, 2, 2, 2));
    c->setBackgroundRoundness(0);
    c->legend()->setAlignment(Qt::AlignRight);
    setRenderHint(QPainter::Antialiasing);
    // The window takes the keys for all charts at once.
    setFocusPolicy(Qt::NoFocus);
    // Fixed, rather than the chart's own hint, which grows once it is first
    // laid out, after the window has been fitted to the screen.
    setMinimumSize(300, 60);

    timeAxis_ = new QCategoryAxis;
    timeAxis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    c->addAxis(timeAxis_, Qt::AlignBottom);
    valueAxis_ = new QValueAxis;
    valueAxis_->setTitleText(unit);
    c->addAxis(valueAxis_, Qt::AlignLeft);

    if (gauges.empty()) {
        flags_ = new QScatterSeries;
        flags_->setName(QStringLiteral("Error Flags"));
        flags_->setMarkerSize(9);
        flags_->setColor(QColor(0xd6, 0x27, 0x28));
        c->addSeries(flags_);
        flags_->attachAxis(timeAxis_);
        flags_->attachAxis(valueAxis_);
        valueAxis_->setRange(0, 1);
        valueAxis_->setLabelsVisible(false);
        valueAxis_->setGridLineVisible(false);
        valueAxis_->setTickCount(2);
        valueAxis_->setTitleVisible(false);
        connect(flags_, &QScatterSeries::hovered, this, &CPlotChart::ShowFlagTip);
    }
    for (Gauge g : gauges) {
        Lines& lines = lines_[g];
        lines.name = QString::fromUtf8(kestrum::monitor::Info(g).label);
        lines.color = ColorOf(g);
        SeriesFor(lines, 0); // the one the legend names
    }
}

void CPlotChart::SetValueScale(const kestrum::monitor::ValueScale& scale)
{
    if (scale.low == scale_.low && scale.high == scale_.high && scale.ticks == scale_.ticks &&
        scale.decimals == scale_.decimals)
        return;
    scale_ = scale;
    valueAxis_->setRange(scale.low, scale.high);
    valueAxis_->setTickCount(scale.ticks);
    valueAxis_->setLabelFormat(QStringLiteral("%.%1f").arg(scale.decimals));
}

void CPlotChart::resizeEvent(QResizeEvent* event)
{
    QChartView::resizeEvent(event);
    // Fixed margins, the same on every chart, so that their plot areas and
    // so their time axes line up.
    const QRectF whole = chart()->rect();
    const double bottom = timeAxis_->labelsVisible() ? kLabelsHeight : kEdge;
    chart()->setPlotArea(QRectF(whole.left() + kLeftMargin, whole.top() + kEdge,
                                whole.width() - kLeftMargin - kRightMargin,
                                whole.height() - kEdge - bottom));
}

QLineSeries* CPlotChart::SeriesFor(Lines& lines, qsizetype index)
{
    while (lines.series.size() <= index) {
        auto* series = new QLineSeries;
        series->setName(lines.name);
        series->setPen(QPen(lines.color, 1.5));
        chart()->addSeries(series);
        series->attachAxis(timeAxis_);
        series->attachAxis(valueAxis_);
        if (!lines.series.isEmpty()) {
            for (QLegendMarker* marker : chart()->legend()->markers(series))
                marker->setVisible(false);
        }
        lines.series.append(series);
    }
    return lines.series[index];
}

void CPlotChart::ShowTimeLabels(bool show)
{
    timeAxis_->setLabelsVisible(show);
}

void CPlotChart::Draw(const std::vector<PlotSample>& samples, double from, double to)
{
    from_ = from;
    to_ = to;
    SetTimeTicks(from, to);
    if (flags_)
        DrawFlags(samples, from, to);
    else
        DrawLines(samples, from, to);
}

void CPlotChart::SetTimeTicks(double from, double to)
{
    const double width = chart()->plotArea().width();
    const int maxTicks = std::max(2, static_cast<int>(width / 90));
    const std::vector<double> ticks = kestrum::monitor::TimeTicks(from, to, maxTicks);
    // Relabelling lays the axis out anew; while following, the ticks stay
    // the same for many frames.
    if (ticks != ticks_) {
        ticks_ = ticks;
        const QStringList old = timeAxis_->categoriesLabels();
        for (const QString& label : old)
            timeAxis_->remove(label);
        const bool days = to - from > 86400;
        const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1;
        timeAxis_->setStartValue(ticks.empty() ? from : ticks.front() - step);
        for (double t : ticks) {
            const QDateTime at = ClockTime(t);
            timeAxis_->append(
                at.toString(days ? QStringLiteral("dd/MM hh:mm") : QStringLiteral("hh:mm:ss")), t);
        }
    }
    timeAxis_->setRange(from, to);
}

void CPlotChart::DrawLines(const std::vector<PlotSample>& samples, double from, double to)
{
    // Two points per pixel column keep every peak and bound the work.
    const auto columns = static_cast<std::size_t>(std::max(100.0, chart()->plotArea().width()));
    double low = INFINITY;
    double high = -INFINITY;
    for (auto& [gauge, lines] : lines_) {
        const auto segments = kestrum::monitor::VisibleSegments(samples, gauge, from, to, columns);
        for (std::size_t i = 0; i < segments.size(); ++i) {
            QList<QPointF> points;
            points.reserve(static_cast<qsizetype>(segments[i].size()));
            for (const auto& p : segments[i]) {
                points.append(QPointF(p.time, p.value));
                if (p.time >= from && p.time <= to) {
                    low = std::min(low, p.value);
                    high = std::max(high, p.value);
                }
            }
            SeriesFor(lines, static_cast<qsizetype>(i))->replace(points);
        }
        for (auto i = static_cast<qsizetype>(segments.size()); i < lines.series.size(); ++i) {
            if (lines.series[i]->count() > 0)
                lines.series[i]->clear();
        }
    }
    // Qt Charts elides value labels that get less than their height, so a
    // short chart gets fewer steps.
    const int steps = std::max(2, static_cast<int>(chart()->plotArea().height() / 40));
    if (lines_.count(Gauge::Throttle) != 0) {
        SetValueScale(kestrum::monitor::NiceScale(0, 100, steps)); // always 0 to 100 %
    } else if (low <= high) {
        const double pad = high > low ? (high - low) * 0.05 : 1;
        // Readings that never go below zero keep the scale from doing so.
        const double bottom = low >= 0 ? std::max(0.0, low - pad) : low - pad;
        SetValueScale(kestrum::monitor::NiceScale(bottom, high + pad, steps));
    }
}

void CPlotChart::DrawFlags(const std::vector<PlotSample>& samples, double from, double to)
{
    const auto changes = kestrum::monitor::FlagChanges(samples, from, to);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(changes.size()));
    for (const auto& change : changes)
        points.append(QPointF(change.time, kFlagsRow));
    flags_->replace(points);
    // A cleared fault is green, a raised one red.
    QHash<int, QHash<QXYSeries::PointConfiguration, QVariant>> colors;
    for (qsizetype i = 0; i < points.size(); ++i) {
        if (changes[static_cast<std::size_t>(i)].value == 0)
            colors[static_cast<int>(i)][QXYSeries::PointConfiguration::Color] =
                QColor(0x2c, 0xa0, 0x2c);
    }
    flags_->setPointsConfiguration(colors);
    flagValues_.clear();
    for (const auto& change : changes)
        flagValues_.append(QPointF(change.time, change.value));
}

void CPlotChart::ShowFlagTip(const QPointF& point, bool entered)
{
    if (!entered) {
        QToolTip::hideText();
        return;
    }
    const auto at = std::lower_bound(flagValues_.begin(), flagValues_.end(), point.x(),
                                     [](const QPointF& p, double t) { return p.x() < t; });
    if (at == flagValues_.end())
        return;
    const QString flags =
        QString::number(static_cast<int>(at->y()), 16).toUpper().rightJustified(2, u'0');
    const QString text =
        QStringLiteral("Error Flags 0x%1 at %2")
            .arg(flags, ClockTime(at->x()).toString(QStringLiteral("hh:mm:ss.zzz")));
    QToolTip::showText(QCursor::pos(), text, this);
}

qsizetype CPlotChart::PointCount(Gauge gauge) const
{
    const auto found = lines_.find(gauge);
    qsizetype count = 0;
    if (found != lines_.end()) {
        for (const QLineSeries* series : found->second.series)
            count += series->count();
    }
    return count;
}

qsizetype CPlotChart::LineCount(Gauge gauge) const
{
    const auto found = lines_.find(gauge);
    qsizetype count = 0;
    if (found != lines_.end()) {
        for (const QLineSeries* series : found->second.series)
            count += series->count() > 0 ? 1 : 0;
    }
    return count;
}

qsizetype CPlotChart::MarkerCount() const
{
    return flags_ ? flags_->count() : 0;
}

double CPlotChart::TimeAt(const QPointF& viewPosition) const
{
    const QRectF area = chart()->plotArea();
    const QPointF inChart = chart()->mapFromScene(mapToScene(viewPosition.toPoint()));
    if (area.width() <= 0)
        return (from_ + to_) / 2;
    return from_ + (inChart.x() - area.left()) / area.width() * (to_ - from_);
}

void CPlotChart::wheelEvent(QWheelEvent* event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches != 0)
        emit zoomRequested(std::pow(kWheelZoom, notches), TimeAt(event->position()));
    event->accept();
}

void CPlotChart::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        dragFrom_ = event->position();
        setCursor(Qt::ClosedHandCursor);
    }
    event->accept();
}

void CPlotChart::mouseMoveEvent(QMouseEvent* event)
{
    if (dragFrom_) {
        const double width = chart()->plotArea().width();
        const double dx = event->position().x() - dragFrom_->x();
        dragFrom_ = event->position();
        if (width > 0 && dx != 0)
            emit panRequested(-dx / width * (to_ - from_));
    }
    QChartView::mouseMoveEvent(event); // hover, for the flag tips
}

void CPlotChart::mouseReleaseEvent(QMouseEvent* event)
{
    dragFrom_.reset();
    unsetCursor();
    event->accept();
}
