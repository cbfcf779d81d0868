// Link figures: (a) transaction rate and round trip over an unpaced line,
// (b) CPU used by an open link that has nothing to do, (c) 256 FLASH reads
// at 9600 bit/s against the time the bytes alone need on the wire.
#include "link/controller.h"
#include "sim/simulator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

bool OpenOn(kestrum::CController& link, const kestrum::sim::Simulator& sim)
{
    link.Port().SetName(sim.PortPath());
    return link.OpenLink();
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

bool RoundTrips()
{
    kestrum::sim::Simulator sim({.modelCode = 0, .pacing = false, .liveGauges = false});
    kestrum::CController link;
    if (!sim.Start() || !OpenOn(link, sim))
        return false;

    constexpr int kCount = 5000;
    std::vector<double> trips;
    trips.reserve(kCount);
    const auto start = Clock::now();
    for (int i = 0; i < kCount; ++i) {
        std::uint8_t byte = 0;
        const auto sent = Clock::now();
        link.ReadEeprom(static_cast<unsigned>(i), byte);
        trips.push_back(Ms(Clock::now() - sent).count());
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::sort(trips.begin(), trips.end());
    std::printf("(a) unpaced: %d transactions, %.0f transactions/s, round trip median %.3f ms, "
                "p99 %.3f ms\n",
                kCount, kCount / seconds, trips[trips.size() / 2], trips[trips.size() * 99 / 100]);
    return true;
}

bool IdleCpu()
{
    kestrum::sim::Simulator sim({.modelCode = 0, .pacing = false, .liveGauges = false});
    kestrum::CController link;
    if (!sim.Start() || !OpenOn(link, sim))
        return false;
    std::uint8_t byte = 0;
    link.ReadEeprom(127, byte); // the reader has run once and now idles

    const double before = CpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(5s);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double used = CpuSeconds() - before;
    std::printf("(b) idle open link: %.4f s CPU in %.2f s = %.3f%% of one core (target < 1%%)\n",
                used, wall, 100.0 * used / wall);
    return true;
}

bool PacedFlashReads()
{
    kestrum::sim::Simulator sim({.modelCode = 0, .pacing = true, .liveGauges = false});
    kestrum::CController link;
    if (!sim.Start() || !OpenOn(link, sim))
        return false;

    constexpr int kWords = 256;
    // 7 bytes out and 7 back per word, 10 bits per byte on the line.
    constexpr double kWireBound = kWords * 14 * 10 / 9600.0;
    std::vector<double> reads;
    reads.reserve(kWords);
    const auto start = Clock::now();
    for (int i = 0; i < kWords; ++i) {
        std::uint16_t word = 0;
        const auto sent = Clock::now();
        link.ReadFlash(static_cast<std::uint16_t>(0x0C00 + i), word);
        reads.push_back(Ms(Clock::now() - sent).count());
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::sort(reads.begin(), reads.end());
    std::printf("(c) paced 9600 bit/s: %d FLASH reads in %.3f s, wire bound %.3f s, ratio %.3f "
                "(target <= 1.05); one read: fastest %.2f ms, median %.2f ms, wire %.2f ms\n",
                kWords, seconds, kWireBound, seconds / kWireBound, reads.front(),
                reads[reads.size() / 2], 1000.0 * kWireBound / kWords);
    return true;
}

} // namespace

int main()
{
    try {
        if (!RoundTrips() || !IdleCpu() || !PacedFlashReads()) {
            std::fprintf(stderr, "bench_link: cannot open the simulated controller\n");
            return 1;
        }
    } catch (const kestrum::CControllerException& e) {
        std::fprintf(stderr, "bench_link: %s\n", e.what());
        return 1;
    }
    return 0;
}
