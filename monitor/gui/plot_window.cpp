#include "monitor/gui/plot_window.h"

#include "monitor/gui/plot_chart.h"
#include "monitor/gui/plot_ids.h"
#include "monitor/gui/plot_placement.h"
#include "monitor/gui/png_file.h"
#include "monitor/plot_readings.h"
#include "monitor/plot_time.h"
#include "tools/file_error.h"
#include "ui/control_id.h"
#include "ui/message_box.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QSettings>
#include <QShortcut>
#include <QShowEvent>
#include <QThread>
#include <QTimeZone>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <memory>

using kestrum::monitor::Gauge;

namespace {

struct SpanChoice
{
    const char* label;
    int minutes; // 0: all
};
constexpr SpanChoice kSpans[] = {
    {"1 minute", 1}, {"5 minutes", 5}, {"15 minutes", 15}, {"60 minutes", 60}, {"All", 0},
};
constexpr int kDefaultSpan = 1; // 5 minutes
constexpr int kAllSpan = 4;

struct ChartChoice
{
    const char* unit;
    std::vector<Gauge> gauges;
    int stretch;
};

// New readings redraw no sooner than the picture can move by a pixel
// column, which for the longer windows is far less often than the ~30 times
// a second allowed, yet at least four times a second.
constexpr int kSlowestDataRedrawMs = 250;
constexpr double kKeyZoom = 0.8;
constexpr double kKeyPan = 0.1; // of the visible stretch

// "2026-12-10 14:03:27 to 14:08:27", the date repeated when it changes.
QString TimeRangeText(kestrum::monitor::TimeRange range)
{
    const auto at = [](double seconds) {
        // Civil seconds are local clock readings kept as UTC.
        return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(seconds * 1000)),
                                              QTimeZone::utc());
    };
    const QDateTime from = at(range.from);
    const QDateTime to = at(range.to);
    const QString full = QStringLiteral("yyyy-MM-dd hh:mm:ss");
    return QStringLiteral("%1 to %2")
        .arg(from.toString(full),
             to.toString(from.date() == to.date() ? QStringLiteral("hh:mm:ss") : full));
}

} // namespace

CPlotWindow::CPlotWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), ownLive_(std::make_unique<kestrum::monitor::CPlotHistory>()),
      live_(*ownLive_)
{
    Build();
}

CPlotWindow::CPlotWindow(kestrum::monitor::CPlotHistory& live, QWidget* parent)
    : QWidget(parent, Qt::Window), live_(live)
{
    Build();
}

void CPlotWindow::Build()
{
    setWindowTitle(QStringLiteral("Plot"));
    chooseLogPath = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Open Log"), QString(),
                                            QStringLiteral("Monitor logs (*.log);;All files (*)"));
    };
    chooseImagePath = [this] {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Save as PNG"),
                                            QStringLiteral("Plot.png"),
                                            QStringLiteral("PNG images (*.png)"));
    };
    BuildControls();
    BuildShortcuts();
    redraw_.setSingleShot(true);
    connect(&redraw_, &QTimer::timeout, this, &CPlotWindow::Redraw);
    // The texts first: they take part in the smallest size the window can have.
    UpdateStatus();
    RestorePlacement();
    Redraw();
}

CPlotWindow::~CPlotWindow()
{
    // Its result is posted to this window, which drops it once gone.
    if (loader_)
        loader_->wait();
}

void CPlotWindow::BuildControls()
{
    auto* top = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    pauseButton_ = new QPushButton(QStringLiteral("&Pause"), this);
    pauseButton_->setCheckable(true);
    spanBox_ = new QComboBox(this);
    for (const SpanChoice& span : kSpans)
        spanBox_->addItem(QString::fromUtf8(span.label));
    auto* spanLabel = new QLabel(QStringLiteral("&Window:"), this);
    spanLabel->setBuddy(spanBox_);
    openButton_ = new QPushButton(QStringLiteral("&Open Log..."), this);
    liveButton_ = new QPushButton(QStringLiteral("&Live"), this);
    saveButton_ = new QPushButton(QStringLiteral("Sa&ve as PNG..."), this);
    status_ = new QLabel(this);
    caption_ = new QLabel(this);
    caption_->setAlignment(Qt::AlignCenter);
    // A long caption is cut rather than widening the window.
    caption_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    kestrum::SetControlId(pauseButton_, kestrum::plot_ids::kPause);
    kestrum::SetControlId(spanBox_, kestrum::plot_ids::kSpan);
    kestrum::SetControlId(openButton_, kestrum::plot_ids::kOpenLog);
    kestrum::SetControlId(liveButton_, kestrum::plot_ids::kLive);
    kestrum::SetControlId(saveButton_, kestrum::plot_ids::kSavePng);
    kestrum::SetControlId(status_, kestrum::plot_ids::kStatus);
    kestrum::SetControlId(caption_, kestrum::plot_ids::kCaption);
    bar->addWidget(pauseButton_);
    bar->addWidget(spanLabel);
    bar->addWidget(spanBox_);
    bar->addWidget(openButton_);
    bar->addWidget(liveButton_);
    bar->addWidget(saveButton_);
    bar->addStretch(1);
    bar->addWidget(status_);
    top->addLayout(bar);
    top->addWidget(caption_);

    const ChartChoice choices[] = {
        {"%", {Gauge::Throttle}, 3},
        {"\u00B0C", {Gauge::Temperature}, 3},
        {"Volts", {Gauge::Voltage}, 3},
        {"Amps", {Gauge::OutputCurrent, Gauge::BatteryCurrent}, 3},
        {"Flags", {}, 1},
    };
    for (std::size_t i = 0; i < charts_.size(); ++i) {
        const ChartChoice& choice = choices[i];
        auto* chart = new CPlotChart(QString::fromUtf8(choice.unit), choice.gauges, this);
        chart->ShowTimeLabels(i + 1 == charts_.size());
        connect(chart, &CPlotChart::zoomRequested, this, &CPlotWindow::Zoom);
        connect(chart, &CPlotChart::panRequested, this, &CPlotWindow::Pan);
        top->addWidget(chart, choice.stretch);
        charts_[i] = chart;
    }
    charts_.back()->setMinimumHeight(90);

    liveButton_->setEnabled(false);
    for (QPushButton* b : {pauseButton_, openButton_, liveButton_, saveButton_})
        b->setAutoDefault(false);
    connect(pauseButton_, &QPushButton::toggled, this, &CPlotWindow::OnPause);
    connect(spanBox_, &QComboBox::currentIndexChanged, this, &CPlotWindow::OnSpan);
    connect(openButton_, &QPushButton::clicked, this, &CPlotWindow::OnOpenLog);
    connect(liveButton_, &QPushButton::clicked, this, &CPlotWindow::ShowLive);
    connect(saveButton_, &QPushButton::clicked, this, &CPlotWindow::OnSavePng);
}

void CPlotWindow::BuildShortcuts()
{
    const auto add = [this](QKeySequence keys, auto action) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, action);
    };
    const auto centre = [this] {
        const auto range = VisibleRange();
        return (range.from + range.to) / 2;
    };
    const auto width = [this] {
        const auto range = VisibleRange();
        return range.to - range.from;
    };
    // Zooming in keeps the newest reading in view where it is, which while
    // following is at the right edge; the middle may have no readings yet.
    const auto newest = [this, centre] {
        return kestrum::monitor::NewestReadingWithin(Shown().Samples(), VisibleRange())
            .value_or(centre());
    };
    for (QKeySequence keys : {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal)})
        add(keys, [this, newest] { Zoom(kKeyZoom, newest()); });
    add(QKeySequence(Qt::Key_Minus), [this, centre] { Zoom(1 / kKeyZoom, centre()); });
    add(QKeySequence(Qt::Key_Left), [this, width] { Pan(-kKeyPan * width()); });
    add(QKeySequence(Qt::Key_Right), [this, width] { Pan(kKeyPan * width()); });
    add(QKeySequence(Qt::Key_End), [this] { pauseButton_->setChecked(false); });
}

CPlotChart* CPlotWindow::ChartOf(Gauge gauge) const
{
    switch (gauge) {
    case Gauge::Throttle:
        return charts_[0];
    case Gauge::Temperature:
        return charts_[1];
    case Gauge::Voltage:
        return charts_[2];
    case Gauge::OutputCurrent:
    case Gauge::BatteryCurrent:
        return charts_[3];
    default:
        return charts_[4];
    }
}

void CPlotWindow::RestorePlacement()
{
    QSettings store;
    store.beginGroup(QString::fromLatin1(kestrum::plot_placement::kGroup));
    const int minutes =
        kestrum::plot_placement::LoadSpanMinutes(store, kSpans[kDefaultSpan].minutes);
    int index = kDefaultSpan;
    for (int i = 0; i < static_cast<int>(std::size(kSpans)); ++i) {
        if (kSpans[i].minutes == minutes)
            index = i;
    }
    spanBox_->setCurrentIndex(index);
    OnSpan(index);
    kestrum::plot_placement::Restore(store, *this);
}

void CPlotWindow::SavePlacement() const
{
    QSettings store;
    store.beginGroup(QString::fromLatin1(kestrum::plot_placement::kGroup));
    kestrum::plot_placement::Save(store, *this, kSpans[liveSpanIndex_].minutes);
}

void CPlotWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        kestrum::plot_placement::KeepOnScreen(*this);
    ScheduleRedraw(); // the history grew while closed
}

void CPlotWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    SavePlacement();
}

void CPlotWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Grown by its layout (the charts' least size is known only once shown)
    // rather than by the user: still within the screen.
    if (isVisible() && !event->spontaneous())
        kestrum::plot_placement::KeepOnScreen(*this);
    ScheduleRedraw(); // the pixel columns changed
}

void CPlotWindow::AddCycle(double time, const kestrum::monitor::GaugeTexts& row)
{
    live_.Add(time, row);
    ReadingsAdded();
}

void CPlotWindow::ReadingsAdded()
{
    if (!showingFile_) {
        const auto range = VisibleRange();
        const double columns = std::max(1.0, charts_[0]->PlotArea().width());
        const double perColumnMs = (range.to - range.from) / columns * 1000;
        ScheduleRedraw(static_cast<int>(
            std::clamp(perColumnMs, double{kRedrawMs}, double{kSlowestDataRedrawMs})));
    }
}

void CPlotWindow::ScheduleRedraw(int delayMs)
{
    if (!redraw_.isActive() || redraw_.remainingTime() > delayMs)
        redraw_.start(delayMs);
}

kestrum::monitor::TimeRange CPlotWindow::VisibleRange() const
{
    const auto& samples = Shown().Samples();
    if (samples.empty()) {
        const double now = kestrum::monitor::CivilNow();
        return viewport_.Range(now, now);
    }
    return viewport_.Range(samples.front().time, samples.back().time);
}

void CPlotWindow::Redraw()
{
    const auto range = VisibleRange();
    for (CPlotChart* chart : charts_)
        chart->Draw(Shown().Samples(), range.from, range.to);
    UpdateStatus();
}

void CPlotWindow::Zoom(double factor, double anchor)
{
    const auto& samples = Shown().Samples();
    const double first = samples.empty() ? anchor : samples.front().time;
    const double last = samples.empty() ? anchor : samples.back().time;
    const kestrum::monitor::CPlotViewport before = viewport_;
    viewport_.Zoom(factor, anchor, first, last);
    if (!samples.empty() && !kestrum::monitor::AnyReadingWithin(samples, VisibleRange())) {
        // Nothing around the anchor: the nearest reading keeps its place
        // instead, and is moved into view if it was not.
        viewport_ = before;
        viewport_.Zoom(factor, kestrum::monitor::NearestReading(samples, anchor), first, last);
        viewport_.Hold(kestrum::monitor::WithNearestReading(samples, VisibleRange()));
    }
    const QSignalBlocker quiet(pauseButton_);
    pauseButton_->setChecked(true);
    ScheduleRedraw();
}

void CPlotWindow::Pan(double seconds)
{
    const auto range = VisibleRange();
    viewport_.Pan(seconds, range.from, range.to);
    const QSignalBlocker quiet(pauseButton_);
    pauseButton_->setChecked(true);
    ScheduleRedraw();
}

void CPlotWindow::OnPause(bool paused)
{
    if (paused) {
        const auto range = VisibleRange();
        viewport_.Hold(range);
    } else {
        viewport_.Follow();
    }
    ScheduleRedraw();
}

void CPlotWindow::OnSpan(int index)
{
    if (index < 0 || index >= static_cast<int>(std::size(kSpans)))
        return;
    if (!showingFile_)
        liveSpanIndex_ = index;
    const int minutes = kSpans[index].minutes;
    viewport_.SetSpan(minutes > 0 ? std::optional<double>(minutes * 60.0) : std::nullopt);
    const QSignalBlocker quiet(pauseButton_);
    pauseButton_->setChecked(false);
    ScheduleRedraw();
}

void CPlotWindow::OnOpenLog()
{
    const QString path = chooseLogPath();
    if (!path.isEmpty())
        OpenLog(path);
}

void CPlotWindow::OpenLog(const QString& path)
{
    if (loader_)
        return;
    openButton_->setEnabled(false);
    const std::string file = path.toStdString();
    loader_ = QThread::create([this, path, file] {
        auto result = std::make_shared<kestrum::monitor::MonitorLogResult>(
            kestrum::monitor::ReadMonitorLogFile(file));
        QMetaObject::invokeMethod(
            this, [this, path, result] { OnLogRead(path, *result); }, Qt::QueuedConnection);
    });
    loader_->setParent(this);
    connect(loader_, &QThread::finished, this, [this] {
        loader_->deleteLater();
        loader_ = nullptr;
        openButton_->setEnabled(true);
    });
    loader_->start();
}

void CPlotWindow::OnLogRead(const QString& path, const kestrum::monitor::MonitorLogResult& result)
{
    if (result.fileError) {
        kestrum::ShowMessageBox(
            QString::fromStdString(kestrum::FileErrorText(result.fileError, path.toStdString())),
            QMessageBox::Ok, QMessageBox::NoIcon, this);
        return;
    }
    if (result.notAMonitorLog) {
        kestrum::ShowMessageBox(
            QStringLiteral("%1 is not a Monitor log: it does not begin with the Monitor log "
                           "header.")
                .arg(path),
            QMessageBox::Ok, QMessageBox::NoIcon, this);
        return;
    }
    file_.Clear();
    for (const auto& sample : result.log.samples)
        file_.Add(sample);
    fileName_ = QFileInfo(path).fileName();
    fileSkipped_ = result.log.skippedLines;
    fileFirstSkipped_ = result.log.firstSkippedLine;
    showingFile_ = true;
    liveButton_->setEnabled(true);
    setWindowTitle(QStringLiteral("Plot - %1").arg(fileName_));
    // A recording is looked at as a whole first; the live choice returns
    // with Live.
    if (spanBox_->currentIndex() == kAllSpan)
        OnSpan(kAllSpan);
    else
        spanBox_->setCurrentIndex(kAllSpan);
    Redraw();
}

void CPlotWindow::ShowLive()
{
    showingFile_ = false;
    file_.Clear();
    liveButton_->setEnabled(false);
    setWindowTitle(QStringLiteral("Plot"));
    if (spanBox_->currentIndex() == liveSpanIndex_)
        OnSpan(liveSpanIndex_);
    else
        spanBox_->setCurrentIndex(liveSpanIndex_);
    Redraw();
}

void CPlotWindow::UpdateStatus()
{
    QString text;
    if (showingFile_) {
        text = QStringLiteral("%1: %2 rows").arg(fileName_).arg(file_.Samples().size());
        if (fileSkipped_ > 0)
            text += QStringLiteral("; lines skipped: %1, the first at line %2")
                        .arg(fileSkipped_)
                        .arg(fileFirstSkipped_);
    } else {
        text = QStringLiteral("Live: %1 cycles").arg(live_.Samples().size());
    }
    status_->setText(text);
    caption_->setText(Caption());
}

QString CPlotWindow::SerialText() const
{
    // A log does not record which controller wrote it.
    if (showingFile_)
        return QStringLiteral("Serial number not recorded in %1").arg(fileName_);
    const QString serial = serialNumber ? serialNumber() : QString();
    return serial.isEmpty() ? QStringLiteral("Serial number not read")
                            : QStringLiteral("Serial number %1").arg(serial);
}

QString CPlotWindow::Caption() const
{
    return QStringLiteral("%1, %2").arg(SerialText(), TimeRangeText(VisibleRange()));
}

void CPlotWindow::OnSavePng()
{
    const QString path = chooseImagePath();
    if (!path.isEmpty())
        SavePng(path);
}

bool CPlotWindow::SavePng(const QString& chosen)
{
    const QString path = kestrum::WithPngEnding(chosen);
    Redraw(); // the caption and the charts as of now
    QImage image = grab().toImage();
    // Also as text in the file, for whoever files the pictures away.
    image.setText(QStringLiteral("Serial number"), SerialText());
    image.setText(QStringLiteral("Time range"), TimeRangeText(VisibleRange()));
    const std::error_code error = kestrum::SavePngFile(image, path.toStdString());
    if (error) {
        kestrum::ShowMessageBox(
            QString::fromStdString(kestrum::FileErrorText(error, path.toStdString())),
            QMessageBox::Ok, QMessageBox::NoIcon, this);
        return false;
    }
    return true;
}
