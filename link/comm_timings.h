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

} // namespace kestrum
