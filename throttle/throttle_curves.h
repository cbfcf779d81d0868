#pragma once

#include "throttle/throttle_tables.h"

#include <array>
#include <string_view>

namespace kestrum {

// One named response curve. The five curves live for the whole run and are
// compared by identity: "the written curve" is one of them or none.
struct ThrottleCurve
{
    std::string_view name;
    ThrottleTable& table;
};

// Linear, SCurve, Progressive, Inductive, then Custom, whose table holds what
// the last Refresh read from the controller (zeros before the first).
std::array<ThrottleCurve*, 5> AllCurves();
ThrottleCurve& CustomCurve();

// The first fixed curve, in the order above, equal to `table` in every
// entry; the Custom curve when none is.
ThrottleCurve& Classify(const ThrottleTable& table);

} // namespace kestrum
