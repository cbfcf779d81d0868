#include "monitor/poll_worker.h"

#include "link/controller.h"
#include "tools/log_file.h"

namespace kestrum::monitor {

CPollWorker::CPollWorker(CController& controller, CLogFile& log, PollCallbacks callbacks)
    : controller_(controller), log_(log), callbacks_(std::move(callbacks))
{}

CPollWorker::~CPollWorker()
{
    Stop();
    Join();
}

void CPollWorker::SetSettings(const PollSettings& settings)
{
    std::lock_guard guard(lock_);
    settings_ = settings;
}

PollSettings CPollWorker::Settings() const
{
    std::lock_guard guard(lock_);
    return settings_;
}

bool CPollWorker::Start()
{
    if (thread_.joinable())
        return false;
    {
        std::lock_guard guard(lock_);
        stop_ = false;
    }
    thread_ = std::thread(&CPollWorker::Run, this);
    return true;
}

void CPollWorker::Stop()
{
    {
        std::lock_guard guard(lock_);
        stop_ = true;
    }
    wake_.notify_all();
}

void CPollWorker::Join()
{
    if (thread_.joinable())
        thread_.join();
}

void CPollWorker::Run()
{
    PollEnd end = PollEnd::Stopped;
    // The first cycle starts at once; each start is the one planned, so the
    // wake-up latency of the wait does not shift the cycles after it.
    auto start = std::chrono::steady_clock::now();
    std::unique_lock guard(lock_);
    for (;;) {
        if (wake_.wait_until(guard, start, [this] { return stop_; }))
            break;
        const PollSettings settings = settings_;
        guard.unlock();

        CycleResult result;
        try {
            result = RunCycle(controller_, settings.checked);
        } catch (const CControllerException&) {
            end = PollEnd::NotResponding;
            guard.lock();
            break;
        }
        if (callbacks_.cycle)
            callbacks_.cycle(result);
        if (settings.logging) {
            const std::error_code error = log_.Log(1, "%s", RowText(result.row).c_str());
            if (error) {
                // Told once: logging stays off until the user switches it on.
                {
                    std::lock_guard off(lock_);
                    settings_.logging = false;
                }
                if (callbacks_.logFailed)
                    callbacks_.logFailed(error);
            }
        }
        start = NextStart(start, settings.interval, std::chrono::steady_clock::now());
        guard.lock();
    }
    guard.unlock();
    if (callbacks_.ended)
        callbacks_.ended(end);
}

} // namespace kestrum::monitor
