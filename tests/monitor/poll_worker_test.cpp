#include "link/controller.h"
#include "monitor/poll_worker.h"
#include "sim/simulator.h"
#include "tools/log_file.h"

#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

using namespace kestrum::monitor;
using namespace std::chrono_literals;

namespace {

class PollOverPty : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim.SetLiveGauges(false);
        ASSERT_TRUE(sim.Start());
        link.Timings().readWriteTries = 2;
        link.Timings().retryDelay = 30;
        link.Timings().writeDelay = 1;
        link.Port().SetName(sim.PortPath());
        ASSERT_TRUE(link.OpenLink());
        sim.ClearTranscript();
    }

    std::vector<unsigned> RamAddresses() const
    {
        std::vector<unsigned> addresses;
        for (const auto& p : sim.Transcript())
            addresses.push_back(p[2]);
        return addresses;
    }

    kestrum::sim::Simulator sim;
    kestrum::CController link;
};

GaugeChecks Only(std::initializer_list<Gauge> gauges)
{
    GaugeChecks checks{};
    for (Gauge g : gauges)
        checks[static_cast<std::size_t>(g)] = true;
    return checks;
}

TEST_F(PollOverPty, cycle_readsOnlyWhatTheCheckedGaugesNeed)
{
    sim.SetRam(0x20, 128);
    sim.SetRam(0x60, 250);
    sim.SetRam(0x61, 0);
    sim.SetRam(0x3B, 10);
    struct Case
    {
        GaugeChecks checks;
        std::vector<unsigned> reads;
        GaugeTexts shown;
        GaugeTexts row;
    };
    const Case cases[] = {
        {GaugeChecks{true, true, true, true, true, true},
         {0x2C, 0x39, 0x3B, 0x20, 0x60},
         {"50", "-273.0", "0.0", "250.0", "125.5", "0x0A"},
         {"50", "-273.0", "0.0", "250.0", "125.5", "0x0A"}},
        {Only({Gauge::BatteryCurrent}),
         {0x20, 0x60},
         {"", "", "", "", "125.5", ""},
         {"50", "", "", "250.0", "125.5", ""}},
        {Only({Gauge::ErrorFlags}),
         {0x3B},
         {"", "", "", "", "", "0x0A"},
         {"", "", "", "", "", "0x0A"}},
    };
    for (const auto& c : cases) {
        sim.ClearTranscript();
        const CycleResult result = RunCycle(link, c.checks);
        EXPECT_EQ(RamAddresses(), c.reads);
        EXPECT_EQ(result.shown, c.shown);
        EXPECT_EQ(result.row, c.row);
    }
}

TEST_F(PollOverPty, CycleCutShort_keepsTheReadingsBeforeTheSilence)
{
    sim.SetRam(0x3B, 10);
    // Temperature and voltage answered, the error flags not.
    sim.SetFaults({.silentFrom = 3});
    CycleResult result;
    EXPECT_THROW(RunCycle(link, GaugeChecks{true, true, true, true, true, true}, result),
                 kestrum::CControllerException);
    // The flags are asked again as the link retries, and nothing after them.
    const std::vector<unsigned> reads = RamAddresses();
    ASSERT_GE(reads.size(), 3u);
    std::vector<unsigned> expected{0x2C, 0x39};
    expected.resize(reads.size(), 0x3B);
    EXPECT_EQ(reads, expected);
    EXPECT_EQ(result.shown, (GaugeTexts{"", "-273.0", "0.0", "", "", ""}));
}

TEST(PollTiming, WaitIsMeasuredStartToStart)
{
    const auto t0 = std::chrono::steady_clock::now();
    struct Case
    {
        std::chrono::milliseconds interval, took, wait;
    };
    const Case cases[] = {
        {1000ms, 250ms, 750ms}, {1000ms, 1200ms, 0ms}, {1000ms, 1000ms, 0ms}, {0ms, 5ms, 0ms}};
    for (const auto& c : cases)
        EXPECT_EQ(NextStart(t0, c.interval, t0 + c.took) - (t0 + c.took), c.wait) << c.took.count();
}

TEST(PollTiming, StartsStayOnTheirPlannedGridWhateverTheCyclesTake)
{
    // Cycles of varying length inside the interval: every start is the first
    // plus a whole number of intervals, so nothing accumulates.
    const auto t0 = std::chrono::steady_clock::now();
    auto start = t0;
    const std::chrono::milliseconds took[] = {250ms, 999ms, 1ms, 730ms, 0ms};
    for (int k = 1; k <= 30; ++k) {
        start = NextStart(start, 1000ms, start + took[k % 5]);
        EXPECT_EQ(start - t0, k * 1000ms) << k;
    }
    // One overlong cycle moves the grid to its end, not further.
    start = NextStart(start, 1000ms, start + 1500ms);
    EXPECT_EQ(start - t0, 31500ms);
}

// Collects what the worker hands on, so a test can wait for it.
struct Events
{
    std::mutex lock;
    std::condition_variable changed;
    int cycles = 0;
    std::vector<PollEnd> ends;
    int logFailures = 0;

    PollCallbacks Callbacks()
    {
        auto note = [this](auto f) {
            {
                std::lock_guard g(lock);
                f();
            }
            changed.notify_all();
        };
        return {[this, note](const CycleResult&) { note([this] { ++cycles; }); },
                [this, note](std::error_code) { note([this] { ++logFailures; }); },
                [this, note](PollEnd e) { note([this, e] { ends.push_back(e); }); }};
    }
    template<class P>
    bool WaitFor(P predicate)
    {
        std::unique_lock g(lock);
        return changed.wait_for(g, 5s, predicate);
    }
};

TEST_F(PollOverPty, threeCycles_readInWireOrderThenStop)
{
    kestrum::CLogFile log(1, false);
    Events events;
    CPollWorker worker(link, log, events.Callbacks());
    worker.SetSettings({GaugeChecks{true, true, true, true, true, true}, 0ms, false});
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(events.WaitFor([&] { return events.cycles >= 3; }));
    worker.Stop();
    worker.Join();
    ASSERT_EQ(events.ends, std::vector<PollEnd>{PollEnd::Stopped});
    const auto reads = RamAddresses();
    ASSERT_GE(reads.size(), 15u);
    ASSERT_EQ(reads.size() % 5, 0u);
    for (std::size_t i = 0; i < reads.size(); ++i)
        EXPECT_EQ(reads[i], (std::vector<unsigned>{0x2C, 0x39, 0x3B, 0x20, 0x60}[i % 5]));
}

TEST_F(PollOverPty, silentController_endsPollingOnce)
{
    kestrum::CLogFile log(1, false);
    Events events;
    CPollWorker worker(link, log, events.Callbacks());
    worker.SetSettings({Only({Gauge::ErrorFlags}), 0ms, false});
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(events.WaitFor([&] { return events.cycles >= 1; }));
    sim.SetFaults({.silent = true});
    ASSERT_TRUE(events.WaitFor([&] { return !events.ends.empty(); }));
    worker.Join();
    EXPECT_EQ(events.ends, std::vector<PollEnd>{PollEnd::NotResponding});
}

TEST_F(PollOverPty, StopWakesALongIntervalAtOnce)
{
    kestrum::CLogFile log(1, false);
    Events events;
    CPollWorker worker(link, log, events.Callbacks());
    worker.SetSettings({Only({Gauge::ErrorFlags}), 60000ms, false});
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(events.WaitFor([&] { return events.cycles >= 1; }));
    const auto before = std::chrono::steady_clock::now();
    worker.Stop();
    worker.Join();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms);
}

TEST_F(PollOverPty, unwritableLog_switchesLoggingOffOnceAndPollingGoesOn)
{
    kestrum::CLogFile log(1, true);
    ASSERT_TRUE(log.Open("/dev/full"));
    Events events;
    CPollWorker worker(link, log, events.Callbacks());
    worker.SetSettings({Only({Gauge::ErrorFlags}), 0ms, true});
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(events.WaitFor([&] { return events.cycles >= 4; }));
    worker.Stop();
    worker.Join();
    EXPECT_EQ(events.logFailures, 1);
    EXPECT_FALSE(worker.Settings().logging);
    EXPECT_EQ(events.ends, std::vector<PollEnd>{PollEnd::Stopped});
}

} // namespace

namespace {

TEST_F(PollOverPty, unpluggedPort_endsPollingOnce)
{
    kestrum::CLogFile log(1, false);
    Events events;
    CPollWorker worker(link, log, events.Callbacks());
    worker.SetSettings({Only({Gauge::Voltage}), 0ms, false});
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(events.WaitFor([&] { return events.cycles >= 1; }));
    sim.HangUp();
    ASSERT_TRUE(events.WaitFor([&] { return !events.ends.empty(); }));
    worker.Join();
    EXPECT_EQ(events.ends, std::vector<PollEnd>{PollEnd::NotResponding});
}

} // namespace
