#pragma once

#include "link/comm_timings.h"

#include <optional>

namespace kestrum::cli {

// Reads the timings the window keeps in the per-user settings store (on
// Linux the INI file "~/.config/Quorvel/Quorvel Kestrum.conf", on Windows
// HKCU\Software\Quorvel\Quorvel Kestrum), each with its default when missing
// or outside what the Timings dialog accepts, exactly as the window does.
void LoadStoredTimings(CommTimings& timings);

// The rule shared by both stores: `value` is what the store held, or none.
void ApplyStoredTiming(CommTimings& timings, const char* name, std::optional<long long> value);

} // namespace kestrum::cli
