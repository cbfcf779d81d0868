#include "monitor/gui/report_plot_picture.h"

#include "monitor/gui/plot_chart.h"

#include <QImage>
#include <QPainter>

namespace {

using kestrum::monitor::Gauge;

constexpr double kLastSeconds = 5 * 60;
// The charts are laid out at a window's size and scaled into the page, so
// that their fonts and margins keep the proportions the plot window has.
constexpr int kChartWidth = 400;
constexpr int kSharpness = 3;

} // namespace

kestrum::ReportPicture MonitorPicture(const kestrum::monitor::CPlotHistory& history)
{
    // Painted while the report is written, on this thread: the poll
    // worker's cycles wait in the event queue meanwhile.
    return [&history](QPainter& painter, const QRectF& area) {
        const std::vector<kestrum::monitor::PlotSample>& samples = history.Samples();
        if (samples.empty())
            return;
        const double to = samples.back().time;
        const double from = std::max(samples.front().time, to - kLastSeconds);
        CPlotChart volts(QStringLiteral("Volts"), {Gauge::Voltage});
        CPlotChart amps(QStringLiteral("Amps"), {Gauge::OutputCurrent, Gauge::BatteryCurrent});
        // Side by side, each laid out at a plot window's size and drawn at
        // three times the page's resolution, sharp on paper.
        const double half = area.width() / 2;
        const double scale = half / kChartWidth;
        const QSize size(kChartWidth, static_cast<int>(area.height() / scale));
        double left = area.left();
        for (CPlotChart* chart : {&volts, &amps}) {
            chart->resize(size);
            chart->Draw(samples, from, to > from ? to : from + 1);
            QImage image(size * kSharpness, QImage::Format_RGB32);
            image.setDevicePixelRatio(kSharpness);
            chart->render(&image);
            painter.drawImage(QRectF(left, area.top(), half - 4, area.height()), image);
            left += half;
        }
    };
}
