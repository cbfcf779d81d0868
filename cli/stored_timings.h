#pragma once

#include "link/comm_timings.h"

namespace kestrum::cli {

// Reads the timings the window keeps in the per-user settings store (on
// Linux the INI file "~/.config/Quorvel/Quorvel Kestrum.conf", on Windows
// HKCU\Software\Quorvel\Quorvel Kestrum), each with its default when missing
// or outside what the Timings dialog accepts, exactly as the window does.
void LoadStoredTimings(CommTimings& timings);

} // namespace kestrum::cli
