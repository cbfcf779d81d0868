#pragma once

#include "monitor/plot_history.h"
#include "monitor/poll_worker.h"
#include "tools/log_file.h"
#include "ui/property_page.h"

#include <QString>
#include <array>
#include <functional>
#include <memory>

class CPlotWindow;
class QCheckBox;
class QLabel;
class QPushButton;

// The Monitor page: live readings, polled on a worker thread, and their CSV
// log. The worker never touches a widget; its texts arrive queued.
class CMonitorPage : public CPropertyPage
{
    Q_OBJECT

public:
    explicit CMonitorPage(kestrum::CController& controller, QWidget* parent = nullptr);
    ~CMonitorPage() override;

    void OnRefresh() override;
    void OnStartStop();
    void OnSelectAll();
    void OnClearAll();
    void OnLogToFile();
    // Stops polling and waits for the worker, then closes the log.
    void StopAndClose();
    void OnWindowClosing() override { StopAndClose(); }
    bool IsPolling() const { return worker_ != nullptr; }
    // What the worker takes at its next cycle.
    const kestrum::monitor::PollSettings& PollingSettings() const { return settings_; }
    // Every cycle of this run, for the service report's summary.
    const kestrum::monitor::CPlotHistory& PlotHistory() const { return plotHistory_; }

    // Chooses the log's path; the save dialog unless a test replaces it.
    // An empty result is a cancel.
    std::function<QString()> chooseLogPath;
    // The serial number of the controller being polled, as read elsewhere,
    // for the plot's caption; whoever builds the pages provides it.
    std::function<QString()> serialNumber;

protected:
    void OnShownStateChanged() override;

private:
    void BuildControls();
    void OnGaugeClicked(std::size_t index);
    void OnInterval(int milliseconds);
    void Reevaluate();
    void PushSettings();
    void OnPlot();
    void ShowCycle(const kestrum::monitor::CycleResult& result, double time);
    void OnPollEnded(kestrum::monitor::PollEnd end);
    void OnLogFailed(std::error_code error);

    std::array<QCheckBox*, kestrum::monitor::kGaugeCount> checks_{};
    std::array<QLabel*, kestrum::monitor::kGaugeCount> values_{};
    QPushButton* startButton_ = nullptr;
    QPushButton* selectAllButton_ = nullptr;
    QPushButton* clearAllButton_ = nullptr;
    QPushButton* refreshButton_ = nullptr;
    QCheckBox* logBox_ = nullptr;
    QPushButton* plotButton_ = nullptr;
    CPlotWindow* plot_ = nullptr; // made when first asked for
    // Every cycle since the page was made, within its bound, so that a plot
    // opened late shows what came before.
    kestrum::monitor::CPlotHistory plotHistory_;

    kestrum::monitor::PollSettings settings_;
    kestrum::CLogFile log_{1, false};
    QString logPath_; // of the open log, for its error texts
    std::unique_ptr<kestrum::monitor::CPollWorker> worker_;
};
