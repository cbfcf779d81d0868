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

inline constexpr std::size_t kCurveCount = 5;
// Custom comes last, so the fixed curves are the ones before it.
inline constexpr std::size_t kCustomCurveIndex = kCurveCount - 1;
inline constexpr std::size_t kFixedCurveCount = kCustomCurveIndex;

// Linear, SCurve, Progressive, Inductive, then Custom, whose table holds what
// the last Refresh read from the controller (zeros before the first).
std::array<ThrottleCurve*, kCurveCount> AllCurves();
ThrottleCurve& CustomCurve();

// The first fixed curve, in the order above, equal to `table` in every
// entry; the Custom curve when none is.
ThrottleCurve& Classify(const ThrottleTable& table);

} // namespace kestrum
