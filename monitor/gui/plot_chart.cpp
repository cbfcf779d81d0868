#include "monitor/gui/plot_chart.h"

#include "monitor/plot_scale.h"
#include "monitor/plot_time.h"

#include <QCursor>
#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>
#include <QTimeZone>
#include <QToolTip>
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

const QColor kRaised(0xd6, 0x27, 0x28);
const QColor kCleared(0x2c, 0xa0, 0x2c);
const QColor kGrid(0xe4, 0xe4, 0xe4);
const QColor kFrame(0xa0, 0xa0, 0xa0);
const QColor kText(0x30, 0x30, 0x30);

// The civil seconds of the time axis are local clock readings kept as UTC.
QDateTime ClockTime(double seconds)
{
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(seconds * 1000)),
                                          QTimeZone::utc());
}

constexpr double kFlagsRow = 0.5; // of the strip's height, from the bottom
constexpr double kMarkerRadius = 4.5;
constexpr double kTipReach = 6; // pixels from a marker's centre
// Room for the value labels and unit, for the legend, and for time labels.
constexpr double kLeftMargin = 90;
constexpr double kRightMargin = 180;
constexpr double kEdge = 20;
constexpr double kLabelsHeight = 30;
constexpr double kWheelZoom = 0.8;  // per notch
constexpr double kTickSpacing = 90; // pixels between time labels, at least
constexpr double kStepHeight = 40;  // pixels per value step, at least

} // namespace

CPlotChart::CPlotChart(const QString& unit, std::vector<Gauge> gauges, QWidget* parent)
    : QWidget(parent), unit_(unit)
{
    // The window takes the keys for all charts at once.
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true); // for the flag tips
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (Gauge g : gauges)
        lines_.push_back({g, QString::fromUtf8(kestrum::monitor::Info(g).label), ColorOf(g), {}});
}

QSize CPlotChart::minimumSizeHint() const
{
    return QSize(static_cast<int>(kLeftMargin + kRightMargin) + 40, 60);
}

QSize CPlotChart::sizeHint() const
{
    return QSize(640, IsFlags() ? 90 : 140);
}

QRectF CPlotChart::PlotArea() const
{
    const double bottom = timeLabels_ ? kLabelsHeight : kEdge;
    return QRectF(kLeftMargin, kEdge, std::max(1.0, width() - kLeftMargin - kRightMargin),
                  std::max(1.0, height() - kEdge - bottom));
}

void CPlotChart::ShowTimeLabels(bool show)
{
    timeLabels_ = show;
    update();
}

void CPlotChart::Draw(const std::vector<PlotSample>& samples, double from, double to)
{
    from_ = from;
    to_ = to;
    const int maxTicks = std::max(2, static_cast<int>(PlotArea().width() / kTickSpacing));
    ticks_ = kestrum::monitor::TimeTicks(from, to, maxTicks);
    if (IsFlags())
        flags_ = kestrum::monitor::FlagChanges(samples, from, to);
    else
        DrawLines(samples, from, to);
    update();
}

void CPlotChart::DrawLines(const std::vector<PlotSample>& samples, double from, double to)
{
    // Two points per pixel column keep every peak and bound the work.
    const auto columns = static_cast<std::size_t>(std::max(100.0, PlotArea().width()));
    double low = INFINITY;
    double high = -INFINITY;
    for (Lines& lines : lines_) {
        lines.segments = kestrum::monitor::VisibleSegments(samples, lines.gauge, from, to, columns);
        for (const auto& segment : lines.segments) {
            for (const auto& p : segment) {
                if (p.time >= from && p.time <= to) {
                    low = std::min(low, p.value);
                    high = std::max(high, p.value);
                }
            }
        }
    }
    // Value labels need their height: a short chart gets fewer steps.
    const int steps = std::max(2, static_cast<int>(PlotArea().height() / kStepHeight));
    if (lines_.front().gauge == Gauge::Throttle) {
        scale_ = kestrum::monitor::NiceScale(0, 100, steps); // always 0 to 100 %
    } else if (low <= high) {
        const double pad = high > low ? (high - low) * 0.05 : 1;
        // Readings that never go below zero keep the scale from doing so.
        const double bottom = low >= 0 ? std::max(0.0, low - pad) : low - pad;
        scale_ = kestrum::monitor::NiceScale(bottom, high + pad, steps);
    }
}

QPointF CPlotChart::ToPixel(const QRectF& area, double time, double value) const
{
    const double span = to_ > from_ ? to_ - from_ : 1;
    const double range = scale_.high > scale_.low ? scale_.high - scale_.low : 1;
    return QPointF(area.left() + (time - from_) / span * area.width(),
                   area.bottom() - (value - scale_.low) / range * area.height());
}

void CPlotChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QRectF area = PlotArea();
    PaintGrid(painter, area);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.save();
    // Lines run to the samples beside the stretch: cut at its edges.
    painter.setClipRect(area.adjusted(-kMarkerRadius - 1, -2, kMarkerRadius + 1, 2));
    if (IsFlags())
        PaintFlags(painter, area);
    else
        PaintLines(painter, area);
    painter.restore();
    PaintLegend(painter, area);
}

void CPlotChart::PaintGrid(QPainter& painter, const QRectF& area) const
{
    const QFontMetricsF metrics(font());
    painter.setPen(kGrid);
    for (double t : ticks_) {
        const double x = std::round(ToPixel(area, t, 0).x()) + 0.5;
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
    painter.setPen(kText);
    if (timeLabels_) {
        const bool days = to_ - from_ > 86400;
        for (double t : ticks_) {
            const QString label = ClockTime(t).toString(days ? QStringLiteral("dd/MM hh:mm")
                                                             : QStringLiteral("hh:mm:ss"));
            const double x = ToPixel(area, t, 0).x();
            const double w = metrics.horizontalAdvance(label);
            painter.drawText(QPointF(x - w / 2, area.bottom() + 4 + metrics.ascent()), label);
        }
    }
    if (!IsFlags()) {
        for (int i = 0; i < scale_.ticks; ++i) {
            const double value = scale_.low + i * scale_.step;
            const double y = std::round(ToPixel(area, from_, value).y()) + 0.5;
            painter.setPen(kGrid);
            painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
            painter.setPen(kText);
            const QString label = QString::number(value, 'f', scale_.decimals);
            const double w = metrics.horizontalAdvance(label);
            painter.drawText(QPointF(area.left() - 6 - w, y + metrics.ascent() / 2 - 1), label);
        }
        // The unit, read upwards beside the value labels.
        painter.save();
        painter.translate(metrics.height(), area.center().y());
        painter.rotate(-90);
        painter.drawText(QPointF(-metrics.horizontalAdvance(unit_) / 2, 0), unit_);
        painter.restore();
    }
    painter.setPen(kFrame);
    painter.drawRect(area.adjusted(0.5, 0.5, -0.5, -0.5));
}

void CPlotChart::PaintLines(QPainter& painter, const QRectF& area) const
{
    for (const Lines& lines : lines_) {
        // One pixel wide: thicker lines are stroked as outlines, which over a
        // long stretch (a zigzag of full-height strokes, one per column)
        // takes a hundred times longer to paint.
        QPen pen(lines.color, 1);
        pen.setCosmetic(true);
        painter.setPen(pen);
        for (const auto& segment : lines.segments) {
            QPolygonF polygon;
            polygon.reserve(static_cast<qsizetype>(segment.size()));
            for (const auto& p : segment)
                polygon.append(ToPixel(area, p.time, p.value));
            if (polygon.size() == 1)
                painter.drawPoint(polygon.front()); // a lone reading between gaps
            else
                painter.drawPolyline(polygon);
        }
    }
}

void CPlotChart::PaintFlags(QPainter& painter, const QRectF& area) const
{
    const double y = area.bottom() - kFlagsRow * area.height();
    painter.setPen(Qt::NoPen);
    for (const auto& change : flags_) {
        // A cleared fault is green, a raised one red.
        painter.setBrush(change.value == 0 ? kCleared : kRaised);
        const double x = ToPixel(area, change.time, 0).x();
        painter.drawEllipse(QPointF(x, y), kMarkerRadius, kMarkerRadius);
    }
}

void CPlotChart::PaintLegend(QPainter& painter, const QRectF& area) const
{
    const QFontMetricsF metrics(font());
    const double left = area.right() + 14;
    double y = area.top() + metrics.height() / 2;
    painter.setPen(kText);
    if (IsFlags()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(kRaised);
        painter.drawEllipse(QPointF(left + 10, y), kMarkerRadius, kMarkerRadius);
        painter.setPen(kText);
        painter.drawText(QPointF(left + 26, y + metrics.ascent() / 2 - 1),
                         QStringLiteral("Error Flags"));
        return;
    }
    for (const Lines& lines : lines_) {
        painter.setPen(QPen(lines.color, 2.5));
        painter.drawLine(QPointF(left, y), QPointF(left + 20, y));
        painter.setPen(kText);
        painter.drawText(QPointF(left + 26, y + metrics.ascent() / 2 - 1), lines.name);
        y += metrics.height() + 4;
    }
}

qsizetype CPlotChart::PointCount(Gauge gauge) const
{
    qsizetype count = 0;
    for (const Lines& lines : lines_) {
        if (lines.gauge == gauge) {
            for (const auto& segment : lines.segments)
                count += static_cast<qsizetype>(segment.size());
        }
    }
    return count;
}

qsizetype CPlotChart::LineCount(Gauge gauge) const
{
    qsizetype count = 0;
    for (const Lines& lines : lines_) {
        if (lines.gauge == gauge)
            count += static_cast<qsizetype>(lines.segments.size());
    }
    return count;
}

qsizetype CPlotChart::MarkerCount() const
{
    return static_cast<qsizetype>(flags_.size());
}

QString CPlotChart::FlagTipAt(const QPointF& position) const
{
    const QRectF area = PlotArea();
    const double y = area.bottom() - kFlagsRow * area.height();
    if (!IsFlags() || std::abs(position.y() - y) > kTipReach)
        return QString();
    // The nearest marker within reach; markers are in time order.
    const kestrum::monitor::PlotPoint* nearest = nullptr;
    double distance = kTipReach;
    for (const auto& change : flags_) {
        const double d = std::abs(ToPixel(area, change.time, 0).x() - position.x());
        if (d <= distance) {
            distance = d;
            nearest = &change;
        }
    }
    if (nearest == nullptr)
        return QString();
    const QString flags =
        QString::number(static_cast<int>(nearest->value), 16).toUpper().rightJustified(2, u'0');
    return QStringLiteral("Error Flags 0x%1 at %2")
        .arg(flags, ClockTime(nearest->time).toString(QStringLiteral("hh:mm:ss.zzz")));
}

double CPlotChart::TimeAt(const QPointF& position) const
{
    const QRectF area = PlotArea();
    return from_ + (position.x() - area.left()) / area.width() * (to_ - from_);
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
        const double dx = event->position().x() - dragFrom_->x();
        dragFrom_ = event->position();
        if (dx != 0)
            emit panRequested(-dx / PlotArea().width() * (to_ - from_));
        return;
    }
    const QString tip = FlagTipAt(event->position());
    if (!tip.isEmpty()) {
        QToolTip::showText(event->globalPosition().toPoint(), tip, this);
        tipShown_ = true;
    } else if (tipShown_) {
        QToolTip::hideText();
        tipShown_ = false;
    }
}

void CPlotChart::mouseReleaseEvent(QMouseEvent* event)
{
    dragFrom_.reset();
    unsetCursor();
    event->accept();
}

void CPlotChart::leaveEvent(QEvent* event)
{
    if (tipShown_) {
        QToolTip::hideText();
        tipShown_ = false;
    }
    QWidget::leaveEvent(event);
}
