#include "profiles/profile_load.h"
#include "throttle/throttle_curves.h"

#include <gtest/gtest.h>

// The decisions of a load plan are enums; these are their texts, which the
// window and the command line both show.
namespace kestrum {
namespace {

ControllerProfile Holding(std::uint8_t model, std::uint16_t under, std::uint16_t over,
                          std::uint8_t options = 0x03)
{
    ControllerProfile profile;
    profile.modelCode = model;
    profile.modelName = "model " + std::to_string(model);
    profile.options = options;
    profile.panel = PanelProfile{{90, under, over, 5, 10, 80, 0}, {false, true, false, true}};
    profile.throttle = ThrottleProfile{255, kLinearTable};
    return profile;
}

std::vector<LoadRefusal> Refusals(const LoadPlan& plan)
{
    std::vector<LoadRefusal> refusals;
    for (const ProfileDifference& difference : plan.differences)
        refusals.push_back(difference.refusal);
    return refusals;
}

TEST(LoadRefusal, eachDecision_hasItsText)
{
    const struct
    {
        LoadRefusal refusal;
        const char* text;
    } cases[] = {
        {LoadRefusal::None, ""},
        {LoadRefusal::OutsideModelRange, "outside this model's range"},
        {LoadRefusal::VoltagesWouldCross, "Under Voltage would lie above Over Voltage"},
        {LoadRefusal::NoPlugBraking, "this controller has no plug braking"},
        {LoadRefusal::UnknownSensorType, "not a sensor type this tool knows"},
        {LoadRefusal::SensorTypeNotUsable, "this controller cannot use it"},
        {LoadRefusal::NotReadFromController, "the controller's were not read"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(LoadRefusalText(c.refusal), c.text) << c.text;
}

TEST(LoadRefusal, planOntoAnotherModel_marksEachValueOutsideItsRange)
{
    // The window lists exactly these before it asks to load another model's
    // profile, so the decision must not depend on a text.
    const LoadPlan plan = PlanLoad(Holding(42, 97, 146), Holding(3, 156, 585));
    EXPECT_EQ(Refusals(plan), (std::vector<LoadRefusal>{LoadRefusal::VoltagesWouldCross,
                                                        LoadRefusal::OutsideModelRange}));
}

TEST(LoadRefusal, partTheControllerLacks_isNotRead)
{
    ControllerProfile controller = Holding(3, 205, 585);
    controller.panel.reset();
    const LoadPlan plan = PlanLoad(controller, Holding(3, 205, 585));
    EXPECT_EQ(Refusals(plan), std::vector<LoadRefusal>{LoadRefusal::NotReadFromController});
}

TEST(LoadOutcomeText, eachOutcome_hasItsResultLine)
{
    using Outcome = LoadReport::Outcome;
    EXPECT_STREQ(LoadOutcomeText(Outcome::Done), "Profile loaded and verified");
    EXPECT_STREQ(LoadOutcomeText(Outcome::NotLocated), "");
    EXPECT_STREQ(LoadOutcomeText(Outcome::NotResponding), "Profile only partly loaded");
    EXPECT_STREQ(LoadOutcomeText(Outcome::PartlyWritten), "Throttle table only partly written");
}

TEST(ProfileTexts, otherModelAndUnusableFile_nameWhatTheyAreGiven)
{
    EXPECT_EQ(OtherModelText("1204", "1205"),
              "This profile was taken from a 1204 controller; this controller is a 1205.");
    EXPECT_EQ(UnusableProfileText("/tmp/cart 7.json"),
              "/tmp/cart 7.json cannot be used as a controller profile.");
}

} // namespace
} // namespace kestrum
