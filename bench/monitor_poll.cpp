// Polling period and throughput of the Monitor worker against the simulator.
#include "link/controller.h"
#include "monitor/poll_worker.h"
#include "sim/simulator.h"
#include "tools/log_file.h"

#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <vector>

using namespace kestrum::monitor;
using Clock = std::chrono::steady_clock;

namespace {

struct Starts
{
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Clock::time_point> at;
};

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

void Run(bool paced, std::chrono::milliseconds interval, std::size_t cycles)
{
    kestrum::sim::Simulator sim({.pacing = paced, .recordTranscript = false});
    if (!sim.Start())
        return;
    kestrum::CController link;
    link.Timings().retryDelay = 200;
    link.Port().SetName(sim.PortPath());
    if (!link.OpenLink())
        return;
    kestrum::CLogFile log(1, false);
    Starts starts;
    // The end of a cycle stands in for its start; the period is the same.
    CPollWorker worker(link, log,
                       {[&](const CycleResult&) {
                            std::lock_guard g(starts.lock);
                            starts.at.push_back(Clock::now());
                            starts.changed.notify_all();
                        },
                        {},
                        {}});
    worker.SetSettings({GaugeChecks{true, true, true, true, true, true}, interval, false});
    const double cpu0 = CpuSeconds();
    const auto wall0 = Clock::now();
    worker.Start();
    {
        std::unique_lock g(starts.lock);
        starts.changed.wait(g, [&] { return starts.at.size() >= cycles; });
    }
    worker.Stop();
    worker.Join();
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    const double cpu = CpuSeconds() - cpu0;
    const auto& at = starts.at;
    const double span = std::chrono::duration<double, std::milli>(at[cycles - 1] - at[0]).count();
    const double period = span / (cycles - 1);
    std::printf("%s interval %lld ms: %zu cycles, mean period %.2f ms",
                paced ? "paced  " : "unpaced", static_cast<long long>(interval.count()), cycles,
                period);
    if (interval.count() > 0) {
        const double drift = span - double(interval.count()) * (cycles - 1);
        std::printf(", total drift %.2f ms (%.3f%%)", drift, 100 * drift / span);
    } else {
        std::printf(", %.1f cycles/s, %.3fx the 73 ms wire bound, CPU %.1f%%", 1000 / period,
                    period / 73.0, 100 * cpu / wall);
    }
    std::printf("\n");
}

} // namespace

int main()
{
    Run(false, std::chrono::milliseconds(1000), 30);
    Run(true, std::chrono::milliseconds(1000), 30);
    Run(false, std::chrono::milliseconds(0), 2000);
    Run(true, std::chrono::milliseconds(0), 60);
    return 0;
}
