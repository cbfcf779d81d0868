#include "link/link_health.h"

#include <algorithm>

namespace kestrum {

void LinkHealth::Count(Counter counter)
{
    const auto index = static_cast<int>(counter);
    sinceOpen_[index].fetch_add(1, std::memory_order_relaxed);
    total_[index].fetch_add(1, std::memory_order_relaxed);
}

void LinkHealth::Answered(std::chrono::steady_clock::time_point when)
{
    // Never 0, which means "no answer yet".
    lastAnswer_.store(std::max<std::int64_t>(1, when.time_since_epoch().count()));
    state_.store(LinkState::Answering);
}

// A lost port stays lost until it is opened again.
void LinkHealth::Unanswered()
{
    LinkState state = state_.load();
    while (state != LinkState::PortLost &&
           !state_.compare_exchange_weak(state, LinkState::NotResponding)) {
    }
}

void LinkHealth::PortOpened()
{
    for (auto& counter : sinceOpen_)
        counter.store(0, std::memory_order_relaxed);
    state_.store(LinkState::NotResponding);
}

void LinkHealth::PortClosed()
{
    state_.store(LinkState::NoPort);
}

void LinkHealth::PortLost()
{
    state_.store(LinkState::PortLost);
}

LinkHealthSnapshot LinkHealth::Snapshot(bool portOpen) const
{
    LinkHealthSnapshot snapshot;
    snapshot.state = portOpen ? state_.load() : LinkState::NoPort;
    const auto fill = [](const std::atomic<std::uint64_t>(&from)[kCounters], LinkCounters& to) {
        to.transactions = from[0].load(std::memory_order_relaxed);
        to.resends = from[1].load(std::memory_order_relaxed);
        to.timeouts = from[2].load(std::memory_order_relaxed);
        to.refusedFrames = from[3].load(std::memory_order_relaxed);
        to.strayBytes = from[4].load(std::memory_order_relaxed);
    };
    fill(sinceOpen_, snapshot.sinceOpen);
    fill(total_, snapshot.total);
    if (const std::int64_t ticks = lastAnswer_.load(); ticks != 0)
        snapshot.lastAnswer =
            std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(ticks));
    return snapshot;
}

} // namespace kestrum
