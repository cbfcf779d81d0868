#include "throttle/throttle_curves.h"
#include "throttle/throttle_response.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(ThrottleSetTexts, done_saysWhatWasWritten)
{
    EXPECT_STREQ(SetDoneText(true), "Throttle table written and verified");
    EXPECT_STREQ(SetDoneText(false), "Throttle sensor type written and verified");
}

TEST(ThrottleSetTexts, partlyWritten_endsWithHowToWriteItAgain)
{
    const struct
    {
        const char* howAgain;
        const char* text;
    } cases[] = {
        {"", "The throttle table was only partly written."},
        {"Press Set to write it again.",
         "The throttle table was only partly written. Press Set to write it again."},
        {"Run the command again to write it.",
         "The throttle table was only partly written. Run the command again to write it."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TablePartlyWrittenText(c.howAgain), c.text) << c.howAgain;
    EXPECT_STREQ(kTablePartlyWrittenResult, "Throttle table only partly written");
}

TEST(ThrottleCurves, customIsTheLastCurve_afterTheFixedOnes)
{
    const auto curves = AllCurves();
    EXPECT_EQ(curves[kCustomCurveIndex], &CustomCurve());
    for (std::size_t i = 0; i < kFixedCurveCount; ++i) {
        EXPECT_NE(curves[i], &CustomCurve()) << i;
        EXPECT_EQ(&Classify(curves[i]->table), curves[i]) << curves[i]->name;
    }
}

} // namespace
} // namespace kestrum
