#include "link/comm_timings.h"

#include <type_traits>

namespace kestrum {
namespace {

// Runs `visit` on the timing's field, const or not as `timings` is.
template<class Timings, class Visit>
auto WithField(Timings& timings, Timing timing, Visit visit)
{
    switch (timing) {
    case Timing::WriteDelay:
        return visit(timings.writeDelay);
    case Timing::ReadWriteTries:
        return visit(timings.readWriteTries);
    case Timing::RetryDelay:
        return visit(timings.retryDelay);
    case Timing::ResetTries:
        return visit(timings.resetTries);
    case Timing::ResetDelay:
        break;
    }
    return visit(timings.resetDelay);
}

} // namespace

std::int64_t TimingValue(const CommTimings& timings, Timing timing)
{
    return WithField(timings, timing,
                     [](const auto& field) { return static_cast<std::int64_t>(field.load()); });
}

std::int64_t DefaultTiming(Timing timing)
{
    static const CommTimings defaults;
    return TimingValue(defaults, timing);
}

bool SetTiming(CommTimings& timings, Timing timing, std::int64_t value)
{
    if (!RangeOf(timing).Accepts(value))
        return false;
    WithField(timings, timing, [value](auto& field) {
        using Value = typename std::remove_reference_t<decltype(field)>::value_type;
        field.store(static_cast<Value>(value));
    });
    return true;
}

void LoadStoredTiming(CommTimings& timings, Timing timing, std::optional<std::int64_t> stored)
{
    // The store holds 32-bit values; the window has always read them as such.
    std::optional<std::int64_t> value;
    if (stored) {
        const auto bits = static_cast<std::uint32_t>(*stored);
        value = RangeOf(timing).isSigned ? std::int64_t{static_cast<std::int32_t>(bits)}
                                         : std::int64_t{bits};
    }
    if (!value || !SetTiming(timings, timing, *value))
        SetTiming(timings, timing, DefaultTiming(timing));
}

void LoadStoredTimings(CommTimings& timings, const StoredTimingLookup& stored)
{
    for (const TimingRange& range : kTimingRanges)
        LoadStoredTiming(timings, range.timing, stored(range.storeName));
}

} // namespace kestrum
