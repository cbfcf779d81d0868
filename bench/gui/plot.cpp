// bench_plot: what the plot window costs.
//   1. Opening a recorded Monitor log of N rows: the time to the first drawn
//      frame and the memory the window then holds.
//   2. Polling at "Continuous" against the unpaced simulator: cycles per
//      second without and with the plot open, alternated to even out noise.
//
//   bench_plot [--rows N] [--seconds S] [--rounds R] [--screenshot FILE]
//
// --screenshot also polls a simulator paced at 9600 bit/s for a minute,
// with an error flag raised and cleared on the way, and saves the plot.
#include "app/main_frame.h"
#include "app/monitor_app.h"
#include "monitor/gauges.h"
#include "monitor/gui/monitor_page.h"
#include "monitor/gui/plot_ids.h"
#include "monitor/gui/plot_window.h"
#include "sim/simulator.h"
#include "ui/control_id.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
long StatusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + key.size());
    }
    return -1;
}

// A drive of `rows` cycles 70 ms apart: the throttle sweeps, the current
// follows it, the voltage sags under it, the controller warms up.
void WriteLog(const std::string& path, int rows)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return;
    std::fprintf(file, "%s\r\n", kestrum::monitor::kCsvHeader);
    for (int i = 0; i < rows; ++i) {
        const long ms = 14L * 3600 * 1000 + 70L * i;
        const double s = ms / 1000.0;
        const double throttle = std::round(50 + 50 * std::sin(s / 7));
        const double amps = 5 + 3 * throttle;
        std::fprintf(file, "06/15/08 %02ld:%02ld:%02ld.%03ld  %.0f,%.1f,%.1f,%.1f,%.1f,0x%02X\r\n",
                     ms / 3600000 % 24, ms / 60000 % 60, ms / 1000 % 60, ms % 1000, throttle,
                     30 + 20 * (1 - std::exp(-s / 3000)), 51 - 0.02 * amps, amps,
                     amps * throttle / 100, (i / 20000) % 2 == 1 ? 0x0A : 0);
    }
    std::fclose(file);
}

// Both block in the event loop between events, so the bench itself takes no
// processor time from the polling it measures.
void WaitFor(const std::function<bool()>& condition)
{
    QTimer recheck;
    recheck.start(10);
    while (!condition())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void Pump(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

int OpenRecording(int rows, const QTemporaryDir& sandbox)
{
    const std::string path = sandbox.filePath(QStringLiteral("drive.log")).toStdString();
    WriteLog(path, rows);
    const long rss0 = StatusKb("VmRSS");
    CPlotWindow plot;
    plot.show();
    WaitFor([&] { return plot.windowHandle() && plot.windowHandle()->isExposed(); });
    const long rssShown = StatusKb("VmRSS");
    QElapsedTimer timer;
    timer.start();
    plot.OpenLog(QString::fromStdString(path));
    WaitFor([&] { return !plot.Loading(); });
    plot.grab(); // the first frame, drawn now rather than at the next paint
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (plot.Shown().Samples().size() != static_cast<std::size_t>(rows)) {
        std::fprintf(stderr, "bench_plot: %zu of %d rows shown\n", plot.Shown().Samples().size(),
                     rows);
        return 1;
    }
    std::printf("open a log of %d rows: first frame after %.0f ms\n", rows, ms);
    std::printf("  memory: window %ld kB, with the recording %ld kB more (peak %ld kB)\n",
                rssShown - rss0, StatusKb("VmRSS") - rssShown, StatusKb("VmHWM"));
    return 0;
}

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct PollFigures
{
    double cyclesPerSecond = 0;
    double guiCpuShare = 0; // of one core, on the user-interface thread
};

// Polls for `seconds` with every gauge and the log on.
PollFigures PollRate(CMonitorPage& page, const QString& log, double seconds)
{
    page.chooseLogPath = [log] { return log; };
    kestrum::FindControl<QAbstractButton>(&page, 1087)->click(); // Log to File on
    auto* start = kestrum::FindControl<QAbstractButton>(&page, 1055);
    QElapsedTimer timer;
    timer.start();
    const double cpu0 = ThreadCpuSeconds();
    start->click();
    Pump(static_cast<int>(seconds * 1000));
    start->click();
    const double elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const double cpu = ThreadCpuSeconds() - cpu0;
    WaitFor([&] { return !page.IsPolling(); });
    kestrum::FindControl<QAbstractButton>(&page, 1087)->click(); // off: closed
    std::ifstream file(log.toStdString());
    std::string line;
    long rows = -1; // the header
    while (std::getline(file, line))
        ++rows;
    return {static_cast<double>(rows) / elapsed, cpu / elapsed};
}

PollFigures Median(std::vector<PollFigures> runs)
{
    PollFigures median;
    const auto middle = runs.begin() + static_cast<std::ptrdiff_t>(runs.size() / 2);
    std::nth_element(runs.begin(), middle, runs.end(), [](const auto& x, const auto& y) {
        return x.cyclesPerSecond < y.cyclesPerSecond;
    });
    median.cyclesPerSecond = middle->cyclesPerSecond;
    std::nth_element(runs.begin(), middle, runs.end(),
                     [](const auto& x, const auto& y) { return x.guiCpuShare < y.guiCpuShare; });
    median.guiCpuShare = middle->guiCpuShare;
    return median;
}

CMonitorPage* MonitorPage(CMainFrame& frame)
{
    auto* page = frame.findChild<CMonitorPage*>();
    kestrum::FindControl<QAbstractButton>(page, 1088)->click(); // Continuous
    kestrum::FindControl<QAbstractButton>(page, 1085)->click(); // Select All
    return page;
}

int Poll(CMonitorApp& app, double seconds, int rounds, const QTemporaryDir& sandbox)
{
    kestrum::sim::Simulator sim({.recordTranscript = false});
    if (!sim.Start())
        return 1;
    setenv("KESTRUM_PORTS", sim.PortPath().c_str(), 1);
    CMainFrame frame(app);
    CMonitorPage* page = MonitorPage(frame);
    std::vector<PollFigures> without;
    std::vector<PollFigures> with;
    // Alternated, and in turn first, so that neither gains from its place.
    for (int run = 0; run < 2 * rounds; ++run) {
        const QString log = sandbox.filePath(QStringLiteral("poll%1.log").arg(run));
        const bool plotted = (run % 4 == 1 || run % 4 == 2);
        if (plotted)
            kestrum::FindControl<QAbstractButton>(page, kestrum::plot_ids::kPlotButton)->click();
        const PollFigures f = PollRate(*page, log, seconds);
        (plotted ? with : without).push_back(f);
        std::printf("  %-7s the plot: %5.0f cycles/s, user-interface thread busy %4.1f%%\n",
                    plotted ? "with" : "without", f.cyclesPerSecond, f.guiCpuShare * 100);
        if (auto* plot = page->findChild<CPlotWindow*>())
            plot->hide();
    }
    std::printf("poll at Continuous, unpaced simulator, %d x %.0f s each way:\n", rounds, seconds);
    // Medians: other load on the machine makes single runs stray far.
    const PollFigures a = Median(without);
    const PollFigures b = Median(with);
    std::printf("  medians: without the plot %.0f cycles/s (UI thread %.1f%%), with it %.0f "
                "cycles/s (UI thread %.1f%%): %+.1f%%\n",
                a.cyclesPerSecond, a.guiCpuShare * 100, b.cyclesPerSecond, b.guiCpuShare * 100,
                (b.cyclesPerSecond - a.cyclesPerSecond) / a.cyclesPerSecond * 100);
    return 0;
}

int Screenshot(CMonitorApp& app, const QString& file)
{
    kestrum::sim::Simulator sim({.pacing = true, .recordTranscript = false});
    if (!sim.Start())
        return 1;
    setenv("KESTRUM_PORTS", sim.PortPath().c_str(), 1);
    CMainFrame frame(app);
    CMonitorPage* page = MonitorPage(frame);
    kestrum::FindControl<QAbstractButton>(page, kestrum::plot_ids::kPlotButton)->click();
    auto* plot = page->findChild<CPlotWindow*>();
    plot->resize(900, 700);
    kestrum::FindControl<QComboBox>(plot, kestrum::plot_ids::kSpan)->setCurrentIndex(0);
    kestrum::FindControl<QAbstractButton>(page, 1055)->click();
    Pump(30000);
    sim.SetRam(0x3B, 0x0A);
    Pump(15000);
    sim.SetRam(0x3B, 0x00);
    Pump(17000);
    kestrum::FindControl<QAbstractButton>(page, 1055)->click();
    WaitFor([&] { return !page->IsPolling(); });
    Pump(100);
    if (!plot->grab().save(file)) {
        std::fprintf(stderr, "bench_plot: cannot write %s\n", qPrintable(file));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    int rows = 100000;
    double seconds = 5;
    int rounds = 3;
    QString screenshot;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rows" && i + 1 < argc) {
            rows = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--seconds" && i + 1 < argc) {
            seconds = std::max(1.0, std::atof(argv[++i]));
        } else if (arg == "--rounds" && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--screenshot" && i + 1 < argc) {
            screenshot = QString::fromLocal8Bit(argv[++i]);
        } else {
            std::fprintf(
                stderr,
                "usage: bench_plot [--rows N] [--seconds S] [--rounds R] [--screenshot FILE]\n");
            return 2;
        }
    }
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Never the user's own settings.
    QTemporaryDir sandbox;
    setenv("XDG_CONFIG_HOME", qPrintable(sandbox.filePath(QStringLiteral("config"))), 1);
    CMonitorApp app(argc, argv);
#ifndef NDEBUG
    std::printf("(Debug build: unoptimised code)\n");
#endif
    if (const int failed = OpenRecording(rows, sandbox))
        return failed;
    if (const int failed = Poll(app, seconds, rounds, sandbox))
        return failed;
    return screenshot.isEmpty() ? 0 : Screenshot(app, screenshot);
}
