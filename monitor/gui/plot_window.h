#pragma once

#include "monitor/gauges.h"
#include "monitor/monitor_log_reader.h"
#include "monitor/plot_history.h"
#include "monitor/plot_viewport.h"

#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class CPlotChart;
class QComboBox;
class QLabel;
class QPushButton;
class QThread;

// The Monitor's readings as curves against time: live, from the history the
// Monitor page keeps of its polling cycles, or from a recorded Monitor log. Redrawn on
// a timer, at most ~30 times a second and only when something changed, so a
// fast poll costs the window a bounded amount of work.
class CPlotWindow : public QWidget
{
    Q_OBJECT

public:
    // Draws `live`, which its owner fills and tells of with ReadingsAdded.
    explicit CPlotWindow(kestrum::monitor::CPlotHistory& live, QWidget* parent = nullptr);
    // With a history of its own, filled by AddCycle.
    explicit CPlotWindow(QWidget* parent = nullptr);
    ~CPlotWindow() override;

    // One polling cycle's log-row texts, stamped in civil seconds.
    void AddCycle(double time, const kestrum::monitor::GaugeTexts& row);
    // The live history got new cycles.
    void ReadingsAdded();
    // Polling stopped or restarted: the lines break before the next cycle.
    void BreakRun() { live_.BreakRun(); }

    // Reads the log on a worker thread and shows it when read; failures are
    // told in a message box.
    void OpenLog(const QString& path);
    bool Loading() const { return loader_ != nullptr; }
    void ShowLive();
    // The window as shown, as a PNG file; failures are told in a message box.
    bool SavePng(const QString& path);

    const kestrum::monitor::CPlotHistory& Shown() const { return showingFile_ ? file_ : live_; }
    CPlotChart* ChartOf(kestrum::monitor::Gauge gauge) const;
    CPlotChart* FlagsChart() const { return charts_.back(); }

    // The file dialogs, unless a test replaces them; empty is a cancel.
    std::function<QString()> chooseLogPath;
    std::function<QString()> chooseImagePath;
    // The connected controller's serial number as read, empty before; the
    // caption and the saved picture name it.
    std::function<QString()> serialNumber;
    // What the caption says: whose readings and the time range shown.
    QString Caption() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Build();
    void BuildControls();
    void BuildShortcuts();
    void RestorePlacement();
    void SavePlacement() const;
    // At most ~30 redraws a second.
    static constexpr int kRedrawMs = 33;
    // Within `delayMs`: soon for what the user did, later for new readings.
    void ScheduleRedraw(int delayMs = kRedrawMs);
    void Redraw();
    kestrum::monitor::TimeRange VisibleRange() const;
    void OnPause(bool paused);
    void OnSpan(int index);
    void OnOpenLog();
    void OnSavePng();
    void OnLogRead(const QString& path, const kestrum::monitor::MonitorLogResult& result);
    void Zoom(double factor, double anchor);
    void Pan(double seconds);
    void UpdateStatus();
    bool ReadingsInView() const;
    // The time of the reading nearest to `time`; there must be readings.
    double NearestReading(double time) const;
    // A stretch without readings moves to the nearest one.
    void KeepReadingsInView();
    QString SerialText() const;

    std::unique_ptr<kestrum::monitor::CPlotHistory> ownLive_; // before live_, which may be it
    kestrum::monitor::CPlotHistory& live_;
    kestrum::monitor::CPlotHistory file_;
    bool showingFile_ = false;
    QString fileName_;
    std::size_t fileSkipped_ = 0;
    std::size_t fileFirstSkipped_ = 0;
    kestrum::monitor::CPlotViewport viewport_;
    int liveSpanIndex_ = 0; // the Window choice for live readings, kept while a log shows

    std::array<CPlotChart*, 5> charts_{};
    QPushButton* pauseButton_ = nullptr;
    QComboBox* spanBox_ = nullptr;
    QPushButton* openButton_ = nullptr;
    QPushButton* liveButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* caption_ = nullptr;
    QTimer redraw_;
    QThread* loader_ = nullptr;
};
