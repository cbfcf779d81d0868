#pragma once

#include "monitor/poll_cycle.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

namespace kestrum {
class CController;
class CLogFile;
} // namespace kestrum

// The Monitor's polling thread. It never touches a window: each cycle's
// texts, a log failure and the end of polling go to callbacks that run on
// the worker thread and must only hand them on (e.g. queue them to the
// user-interface thread), never wait for that thread.
namespace kestrum::monitor {

struct PollSettings
{
    GaugeChecks checked{};
    std::chrono::milliseconds interval{1000}; // 0: continuous
    bool logging = false;
};

enum class PollEnd
{
    Stopped,
    NotResponding
};

struct PollCallbacks
{
    std::function<void(const CycleResult&)> cycle;
    // A row could not be written: logging is off from here on.
    std::function<void(std::error_code)> logFailed;
    // The last call of the thread.
    std::function<void(PollEnd)> ended;
};

class CPollWorker
{
public:
    CPollWorker(CController& controller, CLogFile& log, PollCallbacks callbacks);
    // Stops and waits for the thread.
    ~CPollWorker();
    CPollWorker(const CPollWorker&) = delete;
    CPollWorker& operator=(const CPollWorker&) = delete;

    // Taken as a whole at the start of each cycle. Any thread.
    void SetSettings(const PollSettings& settings);
    PollSettings Settings() const;

    // Starts the thread; the first cycle runs at once. False while a thread
    // has not been joined.
    bool Start();
    // Ends the wait between cycles at once; a cycle under way is finished.
    // Does not wait.
    void Stop();
    // Waits for the thread to end (after Stop, or after it ended itself).
    void Join();
    bool Joinable() const { return thread_.joinable(); }

private:
    void Run();

    CController& controller_;
    CLogFile& log_;
    PollCallbacks callbacks_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    bool stop_ = false;
    PollSettings settings_;
    std::thread thread_;
};

} // namespace kestrum::monitor
