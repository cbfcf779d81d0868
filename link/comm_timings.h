#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

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

enum class Timing
{
    WriteDelay,
    ReadWriteTries,
    RetryDelay,
    ResetTries,
    ResetDelay,
};

// What the Timings dialog accepts for one timing, and so what a stored value
// or a command-line option may be. Past these a single wait or a single
// transaction would hold the window for minutes; a reset with no attempts
// leaves the controller in its bootloader with "Unknown mode".
struct TimingRange
{
    Timing timing;
    const char* storeName; // the value's name in the settings store
    bool isSigned;         // shown and stored as a signed 32-bit number
    std::int64_t low;
    std::int64_t high;

    constexpr bool Accepts(std::int64_t value) const { return value >= low && value <= high; }
};

inline constexpr std::uint32_t kMaxDelayMs = 10000;

// In the order the settings store holds them.
inline constexpr TimingRange kTimingRanges[] = {
    {Timing::WriteDelay, "WriteDelay", false, 0, kMaxDelayMs},
    {Timing::ReadWriteTries, "ReadWriteTries", true, 0, 99},
    {Timing::RetryDelay, "RetryDelay", false, 0, kMaxDelayMs},
    {Timing::ResetTries, "ResetTries", true, 1, 99},
    {Timing::ResetDelay, "ResetDelay", false, 0, kMaxDelayMs},
};

constexpr const TimingRange& RangeOf(Timing timing)
{
    return kTimingRanges[static_cast<std::size_t>(timing)];
}

// A timing's live value and its default, as a signed number wide enough for
// either kind.
std::int64_t TimingValue(const CommTimings& timings, Timing timing);
std::int64_t DefaultTiming(Timing timing);
// Stores a value the timing's range accepts; false (nothing stored) otherwise.
bool SetTiming(CommTimings& timings, Timing timing, std::int64_t value);

// Takes what the settings store held for a timing: its 32 bits, read as the
// timing's kind, or none when the value is missing or not a number. A value
// the Timings dialog would refuse, or none, loads as the default, so that one
// hand-edited or damaged value cannot make the tool wait for hours, never
// start, or strand a controller in its bootloader.
void LoadStoredTiming(CommTimings& timings, Timing timing, std::optional<std::int64_t> stored);

// What a settings store holds under one timing's store name, or none.
using StoredTimingLookup = std::function<std::optional<std::int64_t>(const char* storeName)>;

// Takes all five timings from a store by the rule above: the one reading of
// the store the window and the command line share, whatever holds it.
void LoadStoredTimings(CommTimings& timings, const StoredTimingLookup& stored);

} // namespace kestrum
