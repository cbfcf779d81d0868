#include "tools/pdf/service_report_pdf.h"

#include "tools/file_error.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSaveFile>
#include <cstdio>
#include <system_error>

namespace kestrum {
namespace {

// Everything is laid out in points: the writer's resolution is 72 dpi.
constexpr int kPointsPerInch = 72;
constexpr double kMargin = 42; // about 15 mm
constexpr int kMaxPages = 2;
constexpr double kGraphWidth = 200;
constexpr double kGraphHeight = 150;
constexpr double kPictureHeight = 120;

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

QFont Font(double points, bool bold = false, bool fixed = false)
{
    QFont font(fixed ? QStringLiteral("Monospace") : QStringLiteral("Sans Serif"));
    font.setStyleHint(fixed ? QFont::TypeWriter : QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    // Ligatures would turn "off" into a glyph that search and copy do not
    // give back as the two letters.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

// Lines down the page, a second page when the first is full, and no third:
// what does not fit by then is cut, with a note saying so.
class PageFlow
{
public:
    PageFlow(QPdfWriter& writer, QPainter& painter) : writer_(writer), painter_(painter)
    {
        const QSizeF page = writer.pageLayout().fullRect(QPageLayout::Point).size();
        width_ = page.width() - 2 * kMargin;
        bottom_ = page.height() - kMargin;
    }

    QPainter& Painter() { return painter_; }
    double Left() const { return kMargin; }
    double Width() const { return width_; }
    double Y() const { return y_; }
    int Pages() const { return pages_; }
    bool Cut() const { return cut_; }
    void Skip(double height) { y_ += height; }

    // Room for `height` more, on a new page if need be; false once the last
    // page is full (a line is kept free on it for the note).
    bool Room(double height)
    {
        if (cut_)
            return false;
        const double reserve = pages_ == kMaxPages ? LineHeight(Font(8)) : 0;
        if (y_ + height <= bottom_ - reserve)
            return true;
        if (pages_ == kMaxPages) {
            cut_ = true;
            painter_.setFont(Font(8));
            painter_.drawText(QPointF(kMargin, bottom_),
                              QStringLiteral("The rest is in the service history of this "
                                             "serial number."));
            return false;
        }
        writer_.newPage();
        ++pages_;
        y_ = kMargin;
        return true;
    }

    double LineHeight(const QFont& font) const
    {
        return QFontMetricsF(font, &writer_).lineSpacing();
    }

    // One line of text at `x`, cut with an ellipsis to `width`.
    bool Line(const QString& text, const QFont& font, double x = 0, double width = 0)
    {
        const double height = LineHeight(font);
        if (!Room(height))
            return false;
        DrawAt(text, font, kMargin + x, y_, width > 0 ? width : width_ - x);
        y_ += height;
        return true;
    }

    void DrawAt(const QString& text, const QFont& font, double x, double top, double width)
    {
        const QFontMetricsF metrics(font, &writer_);
        painter_.setFont(font);
        painter_.drawText(QPointF(x, top + metrics.ascent()),
                          metrics.elidedText(text, Qt::ElideRight, width));
    }

    bool Heading(const QString& text)
    {
        const QFont font = Font(11, true);
        if (!Room(LineHeight(font) * 2.5))
            return false;
        y_ += LineHeight(font) * 0.5;
        return Line(text, font);
    }

private:
    QPdfWriter& writer_;
    QPainter& painter_;
    double width_ = 0;
    double bottom_ = 0;
    double y_ = kMargin;
    int pages_ = 1;
    bool cut_ = false;
};

// Label and value pairs in two columns of `width` each, from `x`.
double DrawRows(PageFlow& flow, const std::vector<ReportRow>& rows, double x, double top,
                double width)
{
    const QFont font = Font(9);
    const double height = flow.LineHeight(font);
    const double labelWidth = width * 0.5;
    double y = top;
    for (const ReportRow& row : rows) {
        flow.DrawAt(Text(row.label), font, x, y, labelWidth - 4);
        flow.DrawAt(Text(row.value), Font(9, true), x + labelWidth, y, width - labelWidth);
        y += height;
    }
    return y;
}

void DrawHeader(PageFlow& flow, const ServiceReport& report)
{
    QPainter& painter = flow.Painter();
    const QFont title = Font(16, true);
    flow.DrawAt(QStringLiteral("Service Report"), title, flow.Left(), flow.Y(), flow.Width());
    const QFont small = Font(9);
    const QString made = Text(report.madeAt);
    const double madeWidth = QFontMetricsF(small).horizontalAdvance(made) + 2;
    flow.DrawAt(made, small, flow.Left() + flow.Width() - madeWidth, flow.Y() + 6, madeWidth);
    flow.Skip(flow.LineHeight(title) + 4);
    painter.setPen(QPen(Qt::black, 0.8));
    painter.drawLine(QPointF(flow.Left(), flow.Y()), QPointF(flow.Left() + flow.Width(), flow.Y()));
    flow.Skip(6);

    const double half = flow.Width() / 2;
    const double left = DrawRows(flow,
                                 {{"Model", report.model},
                                  {"Family", report.family},
                                  {"Serial Number", report.serialNumber},
                                  {"Field Map", report.fieldMap}},
                                 flow.Left(), flow.Y(), half - 12);
    std::vector<ReportRow> made_by{
        {"Date", report.madeAt}, {"Tool Version", report.toolVersion}, {"Port", report.port}};
    if (!report.technician.empty())
        made_by.push_back({"Technician", report.technician});
    if (!report.workshop.empty())
        made_by.push_back({"Workshop", report.workshop});
    const double right = DrawRows(flow, made_by, flow.Left() + half, flow.Y(), half);
    flow.Skip(std::max(left, right) - flow.Y());
}

void DrawCurve(QPainter& painter, const ThrottleTable& table, const QRectF& area)
{
    const QFont font = Font(7);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    for (int percent = 0; percent <= 100; percent += 25) {
        const double x = area.left() + area.width() * percent / 100.0;
        const double y = area.bottom() - area.height() * percent / 100.0;
        painter.setPen(QPen(QColor(200, 200, 200), 0.4));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(QPen(Qt::black, 0.6));
        const QString label = QString::number(percent);
        painter.drawText(
            QPointF(x - metrics.horizontalAdvance(label) / 2, area.bottom() + metrics.ascent() + 2),
            label);
        painter.drawText(QPointF(area.left() - metrics.horizontalAdvance(label) - 3,
                                 y + metrics.ascent() / 2 - 1),
                         label);
    }
    painter.setPen(QPen(Qt::black, 0.8));
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    painter.drawLine(area.bottomLeft(), area.topLeft());
    const QString pedal = QStringLiteral("Pedal (%)");
    painter.drawText(QPointF(area.center().x() - metrics.horizontalAdvance(pedal) / 2,
                             area.bottom() + 2 * metrics.lineSpacing() + 2),
                     pedal);
    painter.save();
    painter.translate(area.left() - 20, area.center().y());
    painter.rotate(-90);
    const QString output = QStringLiteral("Output (%)");
    painter.drawText(QPointF(-metrics.horizontalAdvance(output) / 2, 0), output);
    painter.restore();

    QPainterPath path;
    const double last = static_cast<double>(table.size() - 1);
    for (std::size_t i = 0; i < table.size(); ++i) {
        const QPointF point(area.left() + area.width() * static_cast<double>(i) / last,
                            area.bottom() - area.height() * table[i] / 255.0);
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    painter.setPen(QPen(QColor(0, 70, 160), 1.2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.setPen(QPen(Qt::black, 0.8));
}

void DrawSetup(PageFlow& flow, const ServiceReport& report)
{
    if (!flow.Heading(QStringLiteral("Settings and Throttle Response")))
        return;
    const double top = flow.Y();
    const double half = flow.Width() / 2;
    const QFont bold = Font(9, true);
    double y = DrawRows(flow, report.settings, flow.Left(), top, half - 12);
    y += 4;
    y = DrawRows(flow, report.switches, flow.Left(), y, half - 12);
    y += 4;
    y = DrawRows(flow, {{"Throttle Sensor Type", report.sensorType}}, flow.Left(), y, half - 12);

    const double x = flow.Left() + half + 30;
    flow.DrawAt(QStringLiteral("Throttle curve: ") + Text(report.curveName), bold, x - 30, top,
                half);
    const QRectF graph(x, top + flow.LineHeight(bold) + 6, kGraphWidth, kGraphHeight);
    DrawCurve(flow.Painter(), report.curve, graph);
    const double graphBottom = graph.bottom() + 2 * flow.LineHeight(Font(7)) + 4;
    flow.Skip(std::max(y, graphBottom) - flow.Y());
}

void DrawChanges(PageFlow& flow, const ServiceReport& report)
{
    if (!flow.Heading(QStringLiteral("Changes Today")))
        return;
    if (report.changesToday.empty()) {
        flow.Line(QStringLiteral("No change recorded today."), Font(9));
        return;
    }
    for (const ReportChange& change : report.changesToday) {
        const QString occasion =
            change.occasion.empty() ? QStringLiteral("Change") : Text(change.occasion);
        if (!flow.Line(Text(change.time) + QStringLiteral("  ") + occasion, Font(9, true)))
            return;
        if (change.lines.empty() && !flow.Line(QStringLiteral("no setting changed"), Font(9), 16))
            return;
        for (const std::string& line : change.lines) {
            if (!flow.Line(Text(line), Font(9), 16))
                return;
        }
    }
}

void DrawErrorLog(PageFlow& flow, const ServiceReport& report)
{
    if (!flow.Heading(QStringLiteral("Error Log")))
        return;
    if (report.errorLog.empty()) {
        flow.Line(QStringLiteral("The error log is empty."), Font(9));
        return;
    }
    if (!flow.Line(QStringLiteral("Newest first, as Write Error Log saves it:"), Font(9)))
        return;
    const std::size_t perLine = 16;
    for (std::size_t first = 0; first < report.errorLog.size(); first += perLine) {
        QString line =
            QStringLiteral("%1-%2 ")
                .arg(first + 1, 2, 10, QLatin1Char('0'))
                .arg(std::min(first + perLine, report.errorLog.size()), 2, 10, QLatin1Char('0'));
        for (std::size_t i = first; i < std::min(first + perLine, report.errorLog.size()); ++i)
            line += QLatin1Char(' ') + Text(report.errorLog[i]);
        if (!flow.Line(line, Font(9, false, true)))
            return;
    }
}

void DrawMonitor(PageFlow& flow, const MonitorSummary& summary, const ReportPicture& picture)
{
    if (!flow.Heading(QStringLiteral("Monitor")))
        return;
    const QFont font = Font(9);
    const double height = flow.LineHeight(font);
    const double rows = static_cast<double>(summary.gauges.size() + 2) * height;
    if (!flow.Room(rows))
        return;
    const double top = flow.Y();
    const double columns[] = {0, 130, 200, 270, 340};
    const auto row = [&](double y, const std::array<QString, 5>& cells, const QFont& cellFont) {
        for (std::size_t i = 0; i < cells.size(); ++i)
            flow.DrawAt(cells[i], cellFont, flow.Left() + columns[i], y,
                        i + 1 < cells.size() ? columns[i + 1] - columns[i] - 4 : 60);
    };
    flow.DrawAt(QStringLiteral("%1 polling cycles").arg(summary.cycles), font, flow.Left(), top,
                flow.Width());
    row(top + height,
        {QStringLiteral("Gauge"), QStringLiteral("Minimum"), QStringLiteral("Maximum"),
         QStringLiteral("Mean"), QString()},
        Font(9, true));
    double y = top + 2 * height;
    for (const GaugeSummary& gauge : summary.gauges) {
        row(y,
            {Text(gauge.label), Text(gauge.minimum), Text(gauge.maximum), Text(gauge.mean),
             Text(gauge.unit)},
            font);
        y += height;
    }
    flow.Skip(y - flow.Y());
    if (!picture || !flow.Room(kPictureHeight + 4))
        return;
    const QRectF area(flow.Left(), flow.Y() + 4, flow.Width(), kPictureHeight);
    QPainter& painter = flow.Painter();
    painter.save();
    painter.setClipRect(area);
    picture(painter, area);
    painter.restore();
    flow.Skip(kPictureHeight + 4);
}

std::error_code OpenError(const QString& path)
{
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        return std::make_error_code(std::errc::no_such_file_or_directory);
    if (info.isDir())
        return std::make_error_code(std::errc::is_a_directory);
    return std::make_error_code(std::errc::permission_denied);
}

} // namespace

QPageSize::PageSizeId LocalePageSize()
{
    return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                              : QPageSize::A4;
}

ReportPdfResult WriteServiceReportPdf(const ServiceReport& report, const QString& path,
                                      QPageSize::PageSizeId pageSize,
                                      const ReportPicture& monitorPicture)
{
    ReportPdfResult result;
    // Written beside the target and put in its place once complete: a
    // failure leaves an earlier report as it was, and no half file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error =
            Text(FileErrorText(OpenError(path), QDir::toNativeSeparators(path).toStdString()));
        return result;
    }
    {
        QPdfWriter writer(&file);
        writer.setResolution(kPointsPerInch);
        writer.setPageSize(QPageSize(pageSize));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(QStringLiteral("Service Report %1").arg(Text(report.serialNumber)));
        writer.setCreator(QStringLiteral("Quorvel Kestrum %1").arg(Text(report.toolVersion)));
        QPainter painter(&writer);
        painter.setRenderHint(QPainter::Antialiasing);
        PageFlow flow(writer, painter);
        DrawHeader(flow, report);
        DrawSetup(flow, report);
        if (report.monitor)
            DrawMonitor(flow, *report.monitor, monitorPicture);
        DrawErrorLog(flow, report);
        DrawChanges(flow, report);
        result.pages = flow.Pages();
    }
    if (!file.commit()) {
        result.error = Text(FileErrorText(std::make_error_code(std::errc::io_error),
                                          QDir::toNativeSeparators(path).toStdString()));
        return result;
    }
    result.written = true;
    return result;
}

std::unique_ptr<QGuiApplication> MakeGuiApplication()
{
    if (QCoreApplication::instance() != nullptr)
        return nullptr;
#ifndef Q_OS_WIN
    // A production line's machine may have no display at all.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    // The off-screen platform's remarks (no runtime folder, no display)
    // mean nothing to a script reading standard error.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    // QGuiApplication keeps references to both for its whole life.
    static int argc = 1;
    static char name[] = "kestrum-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

} // namespace kestrum
