#include "monitor/gui/monitor_page.h"

#include "link/controller.h"
#include "monitor/gui/plot_ids.h"
#include "monitor/gui/plot_window.h"
#include "monitor/plot_time.h"
#include "monitor/poll_cycle.h"
#include "tools/file_error.h"
#include "ui/control_id.h"
#include "ui/message_box.h"
#include "ui/wait_cursor.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using kestrum::monitor::CycleResult;
using kestrum::monitor::Gauge;
using kestrum::monitor::kGaugeCount;

namespace {

constexpr int kStartId = 1055;
constexpr int kSelectAllId = 1085;
constexpr int kClearAllId = 1086;
constexpr int kLogId = 1087;
constexpr int kRefreshId = 1044;

// The control ids of each gauge's check box and value, in Gauge order.
struct GaugeControlIds
{
    int check;
    int value;
};
constexpr GaugeControlIds kGaugeIds[kGaugeCount] = {
    {1056, 1046}, // throttle position
    {1057, 1048}, // temperature
    {1061, 1051}, // battery voltage
    {1063, 1052}, // output current
    {1065, 1053}, // battery current
    {1067, 1054}, // error flags
};

struct IntervalChoice
{
    int id;
    const char* label;
    int milliseconds;
};
constexpr IntervalChoice kIntervals[] = {
    {1088, "Continuous", 0},     {1089, "1 Second", 1000},    {1090, "5 Seconds", 5000},
    {1091, "10 Seconds", 10000}, {1092, "30 Seconds", 30000}, {1093, "1 Minute", 60000},
};

std::size_t Index(Gauge g)
{
    return static_cast<std::size_t>(g);
}

} // namespace

CMonitorPage::CMonitorPage(kestrum::CController& controller, QWidget* parent)
    : CPropertyPage(controller, parent)
{
    chooseLogPath = [this] {
        return QFileDialog::getSaveFileName(this, QString(), QStringLiteral("Monitor.log"),
                                            QString(), nullptr, QFileDialog::DontConfirmOverwrite);
    };
    BuildControls();
    Reevaluate();
}

CMonitorPage::~CMonitorPage()
{
    StopAndClose();
    // It draws from plotHistory, which goes before the page's children do.
    delete plot_;
}

void CMonitorPage::BuildControls()
{
    setMinimumSize(420, 300);
    auto* top = new QHBoxLayout(this);

    auto* gaugesGroup = new QGroupBox(QStringLiteral("Gauges"), this);
    auto* grid = new QGridLayout(gaugesGroup);
    const auto& gauges = kestrum::monitor::Gauges();
    for (std::size_t i = 0; i < kGaugeCount; ++i) {
        const auto& info = gauges[i];
        auto* box = new QCheckBox(gaugesGroup);
        kestrum::SetControlId(box, kGaugeIds[i].check);
        connect(box, &QCheckBox::clicked, this, [this, i] { OnGaugeClicked(i); });
        checks_[i] = box;
        auto* value = new QLabel(QString::fromUtf8(info.initialText), gaugesGroup);
        kestrum::SetControlId(value, kGaugeIds[i].value);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setMinimumWidth(60);
        // Greyed until read: "-273.0" is no reading.
        value->setEnabled(false);
        values_[i] = value;
        const int row = static_cast<int>(i);
        grid->addWidget(box, row, 0);
        grid->addWidget(new QLabel(QString::fromUtf8(info.label), gaugesGroup), row, 1);
        grid->addWidget(value, row, 2);
        grid->addWidget(new QLabel(QString::fromUtf8(info.unit), gaugesGroup), row, 3);
    }
    refreshButton_ = new QPushButton(QStringLiteral("&Refresh"), gaugesGroup);
    kestrum::SetControlId(refreshButton_, kRefreshId);
    grid->addWidget(refreshButton_, static_cast<int>(kGaugeCount), 2, 1, 2);
    top->addWidget(gaugesGroup);

    auto* right = new QVBoxLayout;
    auto* monitorGroup = new QGroupBox(QStringLiteral("Monitor"), this);
    auto* monitorLayout = new QVBoxLayout(monitorGroup);
    startButton_ = new QPushButton(QStringLiteral("&Start"), monitorGroup);
    selectAllButton_ = new QPushButton(QStringLiteral("Select &All"), monitorGroup);
    clearAllButton_ = new QPushButton(QStringLiteral("&Clear All"), monitorGroup);
    logBox_ = new QCheckBox(QStringLiteral("Log to File"), monitorGroup);
    kestrum::SetControlId(startButton_, kStartId);
    kestrum::SetControlId(selectAllButton_, kSelectAllId);
    kestrum::SetControlId(clearAllButton_, kClearAllId);
    kestrum::SetControlId(logBox_, kLogId);
    refreshButton_->setAutoDefault(false);
    for (QPushButton* b : {startButton_, selectAllButton_, clearAllButton_}) {
        b->setAutoDefault(false);
        monitorLayout->addWidget(b);
    }
    // Beside "Log to File", in the room its short text leaves, so that no
    // other control of the group moves.
    plotButton_ = new QPushButton(QStringLiteral("&Plot..."), monitorGroup);
    kestrum::SetControlId(plotButton_, kestrum::plot_ids::kPlotButton);
    plotButton_->setAutoDefault(false);
    auto* logRow = new QHBoxLayout;
    logRow->addWidget(logBox_, 1, Qt::AlignTop);
    logRow->addWidget(plotButton_);
    monitorLayout->addLayout(logRow);
    right->addWidget(monitorGroup);

    auto* intervalGroup = new QGroupBox(QStringLiteral("Interval"), this);
    auto* intervalLayout = new QVBoxLayout(intervalGroup);
    for (const auto& choice : kIntervals) {
        auto* radio = new QRadioButton(QString::fromUtf8(choice.label), intervalGroup);
        kestrum::SetControlId(radio, choice.id);
        radio->setChecked(choice.milliseconds == 1000);
        const int ms = choice.milliseconds;
        connect(radio, &QRadioButton::toggled, this, [this, ms](bool on) {
            if (on)
                OnInterval(ms);
        });
        intervalLayout->addWidget(radio);
    }
    right->addWidget(intervalGroup);
    top->addLayout(right);

    connect(refreshButton_, &QPushButton::clicked, this, &CMonitorPage::OnRefresh);
    connect(startButton_, &QPushButton::clicked, this, &CMonitorPage::OnStartStop);
    connect(selectAllButton_, &QPushButton::clicked, this, &CMonitorPage::OnSelectAll);
    connect(clearAllButton_, &QPushButton::clicked, this, &CMonitorPage::OnClearAll);
    connect(logBox_, &QCheckBox::clicked, this, &CMonitorPage::OnLogToFile);
    connect(plotButton_, &QPushButton::clicked, this, &CMonitorPage::OnPlot);
}

void CMonitorPage::OnPlot()
{
    if (!plot_) {
        plot_ = new CPlotWindow(plotHistory_, this);
        plot_->serialNumber = [this] { return serialNumber ? serialNumber() : QString(); };
    }
    plot_->show();
    plot_->raise();
    plot_->activateWindow();
}

void CMonitorPage::OnRefresh()
{
    CWaitCursor wait;
    kestrum::CController& link = Controller();
    // One cycle of every gauge, checked or not; what was read before the
    // controller fell silent is shown all the same.
    kestrum::monitor::GaugeChecks all;
    all.fill(true);
    CycleResult result;
    bool answered = false;
    try {
        if (!link.LocateController())
            return; // the link has told the user
        kestrum::monitor::RunCycle(link, all, result);
        answered = true;
    } catch (const kestrum::CControllerException&) {
    }
    for (std::size_t i = 0; i < kGaugeCount; ++i) {
        if (result.shown[i].empty())
            continue;
        values_[i]->setText(QString::fromStdString(result.shown[i]));
        values_[i]->setEnabled(true);
    }
    if (!answered)
        kestrum::ShowNotResponding(this);
}

// Readings of a controller no longer connected are greyed; the next reading
// shows them again.
void CMonitorPage::OnShownStateChanged()
{
    if (ShowsConnected())
        return;
    for (QLabel* value : values_)
        value->setEnabled(false);
}

void CMonitorPage::PushSettings()
{
    for (std::size_t i = 0; i < kGaugeCount; ++i)
        settings_.checked[i] = checks_[i]->isChecked();
    if (worker_)
        worker_->SetSettings(settings_);
}

void CMonitorPage::OnStartStop()
{
    if (worker_) {
        worker_->Stop();
        startButton_->setText(QStringLiteral("St&art"));
        refreshButton_->setEnabled(true);
        return;
    }
    kestrum::monitor::PollCallbacks callbacks;
    // Queued to this page: the worker never waits for the user-interface
    // thread, and a post that arrives after the page is gone is dropped.
    // Stamped here, when read, not when the user-interface thread gets to it.
    callbacks.cycle = [this](const CycleResult& result) {
        const double time = kestrum::monitor::CivilNow();
        QMetaObject::invokeMethod(
            this, [this, result, time] { ShowCycle(result, time); }, Qt::QueuedConnection);
    };
    callbacks.logFailed = [this](std::error_code error) {
        QMetaObject::invokeMethod(
            this, [this, error] { OnLogFailed(error); }, Qt::QueuedConnection);
    };
    callbacks.ended = [this](kestrum::monitor::PollEnd end) {
        QMetaObject::invokeMethod(
            this, [this, end] { OnPollEnded(end); }, Qt::QueuedConnection);
    };
    worker_ = std::make_unique<kestrum::monitor::CPollWorker>(Controller(), log_, callbacks);
    PushSettings();
    plotHistory_.BreakRun();
    worker_->Start();
    startButton_->setText(QStringLiteral("St&op"));
    refreshButton_->setEnabled(false);
}

void CMonitorPage::ShowCycle(const CycleResult& result, double time)
{
    if (!worker_)
        return;
    plotHistory_.Add(time, result.row);
    if (plot_ && plot_->isVisible())
        plot_->ReadingsAdded();
    for (std::size_t i = 0; i < kGaugeCount; ++i) {
        values_[i]->setText(QString::fromStdString(result.shown[i]));
        if (!result.shown[i].empty())
            values_[i]->setEnabled(true);
    }
}

void CMonitorPage::OnPollEnded(kestrum::monitor::PollEnd end)
{
    if (worker_) {
        worker_->Join();
        worker_.reset();
    }
    startButton_->setText(QStringLiteral("St&art"));
    refreshButton_->setEnabled(true);
    if (end == kestrum::monitor::PollEnd::NotResponding)
        kestrum::ShowNotResponding(this);
}

void CMonitorPage::OnLogFailed(std::error_code error)
{
    settings_.logging = false;
    logBox_->setChecked(false);
    log_.Close();
    kestrum::ShowMessageBox(
        QString::fromStdString(kestrum::FileErrorText(error, logPath_.toStdString())),
        QMessageBox::Ok, QMessageBox::NoIcon, this);
}

void CMonitorPage::OnGaugeClicked(std::size_t index)
{
    if (index == Index(Gauge::BatteryCurrent) && checks_[index]->isChecked()) {
        checks_[Index(Gauge::Throttle)]->setChecked(true);
        checks_[Index(Gauge::OutputCurrent)]->setChecked(true);
    }
    Reevaluate();
}

void CMonitorPage::OnSelectAll()
{
    for (QCheckBox* box : checks_)
        box->setChecked(true);
    Reevaluate();
}

void CMonitorPage::OnClearAll()
{
    for (QCheckBox* box : checks_)
        box->setChecked(false);
    Reevaluate();
}

void CMonitorPage::Reevaluate()
{
    std::size_t checked = 0;
    for (QCheckBox* box : checks_)
        checked += box->isChecked() ? 1 : 0;
    startButton_->setEnabled(checked > 0);
    clearAllButton_->setEnabled(checked > 0);
    selectAllButton_->setEnabled(checked < kGaugeCount);
    PushSettings();
    if (worker_ && checked == 0)
        OnStartStop();
}

void CMonitorPage::OnInterval(int milliseconds)
{
    settings_.interval = std::chrono::milliseconds(milliseconds);
    if (worker_)
        worker_->SetSettings(settings_);
}

void CMonitorPage::OnLogToFile()
{
    if (!logBox_->isChecked()) {
        settings_.logging = false;
        PushSettings();
        log_.Close();
        return;
    }
    const QString path = chooseLogPath();
    if (path.isEmpty()) {
        logBox_->setChecked(false);
        return;
    }
    std::error_code error;
    log_.timestamps = false;
    if (!log_.Open(path.toStdString(), &error)) {
        // Leaving the box checked would drop every row unseen.
        logBox_->setChecked(false);
        kestrum::ShowMessageBox(
            QString::fromStdString(kestrum::FileErrorText(error, path.toStdString())),
            QMessageBox::Ok, QMessageBox::NoIcon, this);
        return;
    }
    logPath_ = path;
    log_.Log(1, "%s", kestrum::monitor::kCsvHeader);
    log_.timestamps = true;
    settings_.logging = true;
    PushSettings();
}

void CMonitorPage::StopAndClose()
{
    if (worker_) {
        // The worker only posts to this thread, so waiting here cannot
        // deadlock; its pending posts die with the worker's results.
        worker_->Stop();
        worker_->Join();
        worker_.reset();
        startButton_->setText(QStringLiteral("St&art"));
        refreshButton_->setEnabled(true);
    }
    log_.Close();
    // Left open, it would keep the program running without its main window.
    if (plot_)
        plot_->close();
}
