#include "cli/stored_timings.h"

#include <cstring>

namespace kestrum::cli {

void ApplyStoredTiming(CommTimings& timings, const char* name, std::optional<long long> value)
{
    if (!value)
        return;
    // The store holds 32-bit values; the window reads them as such.
    const auto bits = static_cast<std::uint32_t>(*value);
    const auto signedBits = static_cast<std::int32_t>(bits);
    if (std::strcmp(name, "WriteDelay") == 0 && IsAcceptableDelay(bits))
        timings.writeDelay = bits;
    else if (std::strcmp(name, "RetryDelay") == 0 && IsAcceptableDelay(bits))
        timings.retryDelay = bits;
    else if (std::strcmp(name, "ResetDelay") == 0 && IsAcceptableDelay(bits))
        timings.resetDelay = bits;
    else if (std::strcmp(name, "ReadWriteTries") == 0 && IsAcceptableTries(signedBits))
        timings.readWriteTries = signedBits;
    else if (std::strcmp(name, "ResetTries") == 0)
        timings.resetTries = signedBits;
}

} // namespace kestrum::cli
