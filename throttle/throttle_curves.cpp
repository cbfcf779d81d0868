#include "throttle/throttle_curves.h"

namespace kestrum {
namespace {

// Copies, so that every curve refers to a table of the same kind; the fixed
// ones are never written.
ThrottleTable linear = kLinearTable;
ThrottleTable sCurve = kSCurveTable;
ThrottleTable progressive = kProgressiveTable;
ThrottleTable inductive = kInductiveTable;
ThrottleTable custom{};

ThrottleCurve linearCurve{"Linear", linear};
ThrottleCurve sCurveCurve{"SCurve", sCurve};
ThrottleCurve progressiveCurve{"Progressive", progressive};
ThrottleCurve inductiveCurve{"Inductive", inductive};
ThrottleCurve customCurve{"Custom", custom};

} // namespace

std::array<ThrottleCurve*, kCurveCount> AllCurves()
{
    return {&linearCurve, &sCurveCurve, &progressiveCurve, &inductiveCurve, &customCurve};
}

ThrottleCurve& CustomCurve()
{
    return customCurve;
}

ThrottleCurve& Classify(const ThrottleTable& table)
{
    for (ThrottleCurve* curve : AllCurves())
        if (curve != &customCurve && curve->table == table)
            return *curve;
    return customCurve;
}

} // namespace kestrum
