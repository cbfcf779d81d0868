#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

// How the link is doing, for a status line: counters since the port was
// opened and over the whole run, the time of the last accepted answer, and
// the link's state. The link updates it from the thread of each transaction
// and from its reader; anyone may take a snapshot at any time without the
// link's lock, so showing it never waits on a transaction.
namespace kestrum {

enum class LinkState
{
    NoPort,        // no port open
    Answering,     // the last transaction got its answer
    NotResponding, // the port is open, the last transaction got none
    PortLost       // the port hung up or failed (an unplugged adapter)
};

struct LinkCounters
{
    std::uint64_t transactions = 0;  // reads, verified writes and probes sent
    std::uint64_t resends = 0;       // sends after the first of a transaction
    std::uint64_t timeouts = 0;      // sends that no answer followed in time
    std::uint64_t refusedFrames = 0; // bad checksum, wrong header, code or address
    std::uint64_t strayBytes = 0;    // bytes where a frame should have started
};

struct LinkHealthSnapshot
{
    LinkState state = LinkState::NoPort;
    LinkCounters sinceOpen;
    LinkCounters total;
    std::optional<std::chrono::steady_clock::time_point> lastAnswer;
};

class LinkHealth
{
public:
    enum class Counter
    {
        Transactions,
        Resends,
        Timeouts,
        RefusedFrames,
        StrayBytes
    };

    void Count(Counter counter);
    void Answered(std::chrono::steady_clock::time_point when);
    void Unanswered();
    void PortOpened();
    void PortClosed();
    void PortLost();

    LinkHealthSnapshot Snapshot(bool portOpen) const;

private:
    static constexpr int kCounters = 5;
    std::atomic<std::uint64_t> sinceOpen_[kCounters] = {};
    std::atomic<std::uint64_t> total_[kCounters] = {};
    std::atomic<LinkState> state_{LinkState::NoPort};
    // steady_clock ticks of the last accepted answer; 0: none yet.
    std::atomic<std::int64_t> lastAnswer_{0};
};

} // namespace kestrum
