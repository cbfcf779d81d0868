#pragma once

#include "monitor/gauges.h"

#include <optional>
#include <string_view>

namespace kestrum::monitor {

// The value of a gauge text as Format writes it ("50", "47.1", "0x0A");
// nothing for any other text, the empty one included.
std::optional<double> ParseGaugeText(Gauge gauge, std::string_view text);

} // namespace kestrum::monitor
