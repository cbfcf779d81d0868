// bench_startup: the time from the tool's start to its first page filled,
// with a simulated controller present (found through KESTRUM_PORTS), and to
// the window on screen. Each run starts from an empty settings store, as a
// first start does, so the stock timings apply.
//
//   bench_startup [--runs N] [--pacing] [--screenshot FILE]
//
// --pacing makes the simulator answer at the speed of a 9600 bit/s line.
// --screenshot saves a picture of the window as the user first sees it.
#include "app/main_frame.h"
#include "app/monitor_app.h"
#include "link/port_names.h"
#include "sim/simulator.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

void Report(const char* what, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    std::printf("%-34s median %8.1f ms   min %8.1f ms   max %8.1f ms\n", what,
                values[values.size() / 2], values.front(), values.back());
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    bool pacing = false;
    QString screenshot;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--pacing") {
            pacing = true;
        } else if (arg == "--screenshot" && i + 1 < argc) {
            screenshot = QString::fromLocal8Bit(argv[++i]);
        } else {
            std::fprintf(stderr,
                         "usage: bench_startup [--runs N] [--pacing] [--screenshot FILE]\n");
            return 2;
        }
    }
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0')) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }

    // Never the user's own settings; the search is pinned to the simulator.
    QTemporaryDir sandbox;
    setenv("XDG_CONFIG_HOME", qPrintable(sandbox.filePath(QStringLiteral("config"))), 1);

    kestrum::sim::Options options;
    options.pacing = pacing;
    kestrum::sim::Simulator sim(options);
    if (!sim.Start()) {
        std::fprintf(stderr, "bench_startup: cannot start the simulator\n");
        return 1;
    }
    setenv("KESTRUM_PORTS", sim.PortPath().c_str(), 1);

    CMonitorApp app(argc, argv);
    std::vector<double> filled;
    std::vector<double> shown;
    for (int run = 0; run < runs; ++run) {
        QSettings().clear();
        const Clock::time_point start = Clock::now();
        CMainFrame frame(app);
        filled.push_back(Milliseconds(Clock::now() - start));
        frame.show();
        while (!frame.windowHandle() || !frame.windowHandle()->isExposed()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
        shown.push_back(Milliseconds(Clock::now() - start));
        if (!frame.Controller().IsPortOpen()) {
            std::fprintf(stderr, "bench_startup: the controller was not found\n");
            return 1;
        }
        if (!screenshot.isEmpty() && run == 0) {
            QCoreApplication::processEvents();
            if (!frame.grab().save(screenshot)) {
                std::fprintf(stderr, "bench_startup: cannot write %s\n", qPrintable(screenshot));
                return 1;
            }
        }
        frame.close();
    }
    std::printf("start-up with the simulator%s, stock timings, %d runs\n",
                pacing ? " at 9600 bit/s" : "", runs);
#ifndef NDEBUG
    std::printf(
        "(Debug build: unoptimised code, though most of the time is spent waiting on the link)\n");
#endif
    Report("start to first page filled", filled);
    Report("start to window on screen", shown);
    return 0;
}
