#pragma once

#include <atomic>
#include <cstdint>

namespace kestrum {

// The five communication timings. They are edited on the user-interface
// thread while the Monitor's polling worker may be inside a transaction, so
// each field is an atomic: a running transaction sees the old or new value.
struct CommTimings
{
    std::atomic<std::uint32_t> writeDelay{20};   // ms between a write and its read-back
    std::atomic<std::int32_t> readWriteTries{5}; // sends per transaction, waits per send
    std::atomic<std::uint32_t> retryDelay{200};  // ms, one wait period
    std::atomic<std::int32_t> resetTries{20};    // mode reads after a bootloader reset
    std::atomic<std::uint32_t> resetDelay{50};   // ms after a reset request
};

// What the Timings dialog accepts, and so what a stored value may be: past
// these a single wait or a single transaction would hold the window for
// minutes. The reset attempts take any number.
inline constexpr std::uint32_t kMaxDelayMs = 10000;
inline constexpr std::int32_t kMinTries = 0;
inline constexpr std::int32_t kMaxTries = 99;

inline constexpr bool IsAcceptableDelay(std::int64_t ms)
{
    return ms >= 0 && ms <= kMaxDelayMs;
}
inline constexpr bool IsAcceptableTries(std::int64_t tries)
{
    return tries >= kMinTries && tries <= kMaxTries;
}

} // namespace kestrum
