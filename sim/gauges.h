#pragma once

#include "sim/memory_image.h"

namespace kestrum::sim {

// Writes the live gauge cells of RAM for a controller that has been running
// for `seconds`: the throttle sweeps up and down over 20 s, the output
// current follows it, the battery voltage sags with the current through the
// battery's resistance and the temperature drifts up slowly with a ripple.
// A pure function of time, so it needs no thread of its own.
void UpdateGauges(MemoryImage& image, double seconds);

} // namespace kestrum::sim
