#include "link/controller.h"
#include "profiles/profile_load.h"
#include "settings/control_panel.h"
#include "sim/memory_image.h"
#include "sim/simulator.h"
#include "support/fast_link.h"
#include "throttle/throttle_curves.h"
#include "throttle/throttle_response.h"

#include <gtest/gtest.h>
#include <set>

// Loading a profile onto a simulated controller, end to end over the pty.
namespace kestrum {
namespace {

namespace layout = sim::layout;

struct Controller
{
    explicit Controller(int tries = 2)
    {
        started = simulator.Start() && test::OpenFastLink(link, simulator.PortPath(), tries);
    }
    ControllerProfile Read()
    {
        NoProgress quiet;
        EXPECT_EQ(ReadWholeController(link, panel, response, quiet), ReadOutcome::Done);
        auto profile = CaptureProfile(panel, response);
        EXPECT_TRUE(profile && profile->panel && profile->throttle);
        return profile.value_or(ControllerProfile{});
    }
    void SetTable(const ThrottleTable& table)
    {
        const std::uint16_t base = simulator.Eeprom(0) | (simulator.Eeprom(1) << 8);
        for (std::size_t i = 0; i < table.size(); ++i)
            simulator.SetFlash(static_cast<std::uint16_t>(base + i),
                               static_cast<std::uint16_t>(0x3400 + table[i]));
    }
    void SetWord(std::uint8_t address, std::uint16_t value)
    {
        simulator.SetEeprom(address, static_cast<std::uint8_t>(value));
        simulator.SetEeprom(address + 1, static_cast<std::uint8_t>(value >> 8));
    }

    sim::Simulator simulator{sim::Options{.pacing = false, .liveGauges = false}};
    CController link;
    ControlPanel panel;
    ThrottleResponse response;
    bool started = false;
};

std::vector<std::string> StepNames(const LoadPlan& plan);

// Another cart of the fleet: three settings, the curve and the serial number
// differ from the sample's.
void MakeOtherCart(Controller& cart)
{
    cart.simulator.SetEeprom(layout::kMaxCurrent, 70);
    cart.SetWord(layout::kUnderVoltage, 234); // 24.0 V
    cart.simulator.SetEeprom(layout::kTopSpeed, 20);
    cart.simulator.SetEeprom(layout::kSerialNumber, 0x01);
    cart.SetTable(kSCurveTable);
}

TEST(ProfileLoad, ontoAnotherController_writesExactlyWhatDiffers_verified)
{
    Controller sample;
    Controller cart;
    ASSERT_TRUE(sample.started && cart.started);
    sample.SetTable(kLinearTable);
    const ControllerProfile profile = sample.Read();
    MakeOtherCart(cart);
    const ControllerProfile before = cart.Read();

    const LoadPlan plan = PlanLoad(before, profile);
    EXPECT_FALSE(plan.otherModel);
    EXPECT_EQ(DifferenceLines(plan),
              (std::vector<std::string>{
                  "Max Output Current: 70 -> 90 %", "Under Voltage: 24.0 -> 21.0 Volts",
                  "Top Speed: 90.0 -> 100.0 %", "Throttle curve: S-Curve -> Linear"}));

    cart.simulator.ClearTranscript();
    NoProgress quiet;
    const LoadReport report = LoadProfile(cart.link, plan, cart.panel, cart.response, quiet);

    EXPECT_EQ(report.outcome, LoadReport::Outcome::Done);
    EXPECT_EQ(report.written, (std::vector<std::string>{"Max Output Current", "Under Voltage",
                                                        "Top Speed", "Throttle table"}));
    EXPECT_TRUE(report.notWritten.empty());
    // Every write is read back at once; nothing else is written.
    const std::vector<Packet> wire = cart.simulator.Transcript();
    std::vector<int> eepromWrites;
    std::set<int> flashWrites;
    for (std::size_t i = 0; i < wire.size(); ++i) {
        const auto command = static_cast<Command>(wire[i][1]);
        if (command != Command::WriteEeprom && command != Command::WriteFlash)
            continue;
        ASSERT_LT(i + 1, wire.size());
        const Command check =
            command == Command::WriteEeprom ? Command::ReadEeprom : Command::ReadFlash;
        EXPECT_EQ(static_cast<Command>(wire[i + 1][1]), check) << i;
        EXPECT_EQ(wire[i + 1][2], wire[i][2]) << i;
        if (command == Command::WriteEeprom)
            eepromWrites.push_back(wire[i][2]);
        else
            flashWrites.insert(wire[i][2] | (wire[i][3] << 8));
    }
    EXPECT_EQ(eepromWrites, (std::vector<int>{layout::kMaxCurrent, layout::kUnderVoltage,
                                              layout::kUnderVoltage + 1, layout::kTopSpeed}));
    EXPECT_EQ(flashWrites.size(), kThrottleEntries);

    // The controller and the pages' models now hold the profile.
    EXPECT_EQ(cart.simulator.Eeprom(layout::kMaxCurrent), 90);
    EXPECT_EQ(cart.panel.ValueText(SettingId::UnderVoltage), "21.0");
    EXPECT_FALSE(cart.panel.SetEnabled());
    ASSERT_NE(cart.response.Written(), nullptr);
    EXPECT_EQ(cart.response.Written()->name, "Linear");
    auto after = CaptureProfile(cart.panel, cart.response);
    ASSERT_TRUE(after);
    EXPECT_TRUE(PlanLoad(*after, profile).differences.empty());
}

struct SilentCase
{
    const char* name;
    unsigned silentFrom; // the first request carried out but not answered
    std::vector<std::string> written;
    std::vector<std::string> notVerified;
    std::vector<std::string> possiblyMixed;
    std::vector<std::string> notWritten;
    std::uint16_t underVoltageHeld; // what the controller holds afterwards
};

class ProfileLoadFallingSilent : public ::testing::TestWithParam<SilentCase>
{};

// The plan writes Max Output Current (1 byte), Under Voltage (2 bytes), Top
// Speed (1 byte) and the table; requests alternate write, read-back.
TEST_P(ProfileLoadFallingSilent, writeWhoseReadBackIsLost_isNotVerifiedNeverNotWritten)
{
    const SilentCase c = GetParam();
    Controller sample;
    Controller cart;
    ASSERT_TRUE(sample.started && cart.started);
    const ControllerProfile profile = sample.Read();
    MakeOtherCart(cart);
    const LoadPlan plan = PlanLoad(cart.Read(), profile);

    cart.simulator.SetFaults(sim::Faults{.silentFrom = c.silentFrom});
    NoProgress quiet;
    const LoadReport report = LoadProfile(cart.link, plan, cart.panel, cart.response, quiet);

    EXPECT_EQ(report.outcome, LoadReport::Outcome::NotResponding);
    EXPECT_EQ(report.written, c.written);
    EXPECT_EQ(report.notVerified, c.notVerified);
    EXPECT_EQ(report.possiblyMixed, c.possiblyMixed);
    EXPECT_EQ(report.notWritten, c.notWritten);
    EXPECT_EQ(cart.simulator.Eeprom(layout::kUnderVoltage) |
                  (cart.simulator.Eeprom(layout::kUnderVoltage + 1) << 8),
              c.underVoltageHeld);
    // What was confirmed is shown; an unconfirmed value is not taken for read.
    EXPECT_EQ(cart.panel.RememberedValue(SettingId::MaxOutputCurrent), 90);
}

// Under Voltage goes from 234 to 205 counts: the high bytes agree, so only
// the low byte's write shows in what the controller holds.
INSTANTIATE_TEST_SUITE_P(Cuts, ProfileLoadFallingSilent,
                         ::testing::Values(SilentCase{"firstByteOfATwoByteSetting",
                                                      3,
                                                      {"Max Output Current"},
                                                      {"Under Voltage"},
                                                      {"Under Voltage"},
                                                      {"Top Speed", "Throttle table"},
                                                      205},
                                           SilentCase{"secondByteOfATwoByteSetting",
                                                      5,
                                                      {"Max Output Current"},
                                                      {"Under Voltage"},
                                                      {"Under Voltage"},
                                                      {"Top Speed", "Throttle table"},
                                                      205},
                                           SilentCase{"oneByteSetting",
                                                      7,
                                                      {"Max Output Current", "Under Voltage"},
                                                      {"Top Speed"},
                                                      {},
                                                      {"Throttle table"},
                                                      205}),
                         [](const ::testing::TestParamInfo<SilentCase>& info) {
                             return info.param.name;
                         });

TEST(ProfileLoad, twoByteSettingCutBetweenItsBytes_holdsNeitherValue_andTheTextSaysHowToMend)
{
    Controller sample;
    Controller cart;
    ASSERT_TRUE(sample.started && cart.started);
    sample.SetWord(layout::kOverVoltage, 542);
    const ControllerProfile profile = sample.Read();
    cart.SetWord(layout::kOverVoltage, 500);
    const LoadPlan plan = PlanLoad(cart.Read(), profile);
    ASSERT_EQ(StepNames(plan), std::vector<std::string>{"Over Voltage"});

    // The low byte's write lands unanswered; the high byte is never sent.
    cart.simulator.SetFaults(sim::Faults{.silentFrom = 1});
    NoProgress quiet;
    const LoadReport report = LoadProfile(cart.link, plan, cart.panel, cart.response, quiet);

    // 500 = 0x01F4, 542 = 0x021E: the low byte of one and the high byte of the other.
    const int held = cart.simulator.Eeprom(layout::kOverVoltage) |
                     (cart.simulator.Eeprom(layout::kOverVoltage + 1) << 8);
    EXPECT_EQ(held, 0x011E); // neither 500 nor 542
    EXPECT_EQ(LoadReportText(report),
              "Written and verified: nothing.\n"
              "Not verified (may have been written): Over Voltage.\n"
              "Not written: nothing.\n"
              "Over Voltage may hold a mix of its old and new values: load the profile again, or "
              "Refresh the Control Panel and Set it there.");
}

TEST(ProfileLoad, cancelledTableWrite_leavesTheTableUnknownAndSelected)
{
    Controller sample;
    Controller cart;
    ASSERT_TRUE(sample.started && cart.started);
    sample.SetTable(kLinearTable);
    const ControllerProfile profile = sample.Read();
    cart.SetTable(kSCurveTable);
    const LoadPlan plan = PlanLoad(cart.Read(), profile);

    struct CancelAtOnce final : RunProgress
    {
        void SetRange(std::int64_t, std::int64_t) override {}
        void SetPos(std::int64_t) override {}
        bool Cancelled() override { return true; }
    } cancel;
    const LoadReport report = LoadProfile(cart.link, plan, cart.panel, cart.response, cancel);

    EXPECT_EQ(report.outcome, LoadReport::Outcome::PartlyWritten);
    EXPECT_EQ(report.notWritten, std::vector<std::string>{"Throttle table"});
    EXPECT_EQ(cart.response.Written(), nullptr);
    ASSERT_NE(cart.response.Selected(), nullptr);
    EXPECT_EQ(cart.response.Selected()->name, "Linear");
    EXPECT_TRUE(cart.response.SetEnabled());
}

TEST(ProfileCapture, tableReadCancelled_isLeftOut_andReadAgainWhole)
{
    Controller cart;
    ASSERT_TRUE(cart.started);
    cart.SetTable(kSCurveTable);
    struct CancelAtEntry80 final : RunProgress
    {
        void SetRange(std::int64_t, std::int64_t) override {}
        void SetPos(std::int64_t) override {}
        bool Cancelled() override { return ++asked == 5; }
        int asked = 0;
    } cancel;
    ASSERT_EQ(cart.panel.Refresh(cart.link), ControlPanel::Outcome::Done);
    ASSERT_EQ(cart.response.Refresh(cart.link, cancel), ThrottleResponse::Outcome::Done);

    // What the history would keep: the settings, never the half-read table.
    const auto kept = CaptureProfile(cart.panel, cart.response);
    ASSERT_TRUE(kept);
    EXPECT_TRUE(kept->panel);
    EXPECT_FALSE(kept->throttle);

    // A profile save reads the table again, whole.
    const ControllerProfile saved = cart.Read();
    ASSERT_TRUE(saved.throttle);
    EXPECT_EQ(saved.throttle->table, kSCurveTable);
}

// Plans between profiles made by hand: the model rule and the refusals.
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

std::vector<std::string> StepNames(const LoadPlan& plan)
{
    std::vector<std::string> names;
    for (const LoadStep& step : plan.steps)
        names.push_back(step.name);
    return names;
}

TEST(ProfilePlan, refusals)
{
    struct Case
    {
        const char* what;
        ControllerProfile controller;
        std::function<ControllerProfile()> profile;
        std::vector<std::string> lines;
        std::vector<std::string> steps;
    } cases[] = {
        {"another model: what lies outside its range is not written",
         Holding(42, 97, 195),
         [] { return Holding(3, 205, 585); },
         {"Under Voltage: 9.9 -> 21.0 Volts (not written: outside this model's range)",
          "Over Voltage: 20.0 -> 60.1 Volts (not written: outside this model's range)"},
         {}},
        {"another model: a value inside its range is written",
         Holding(42, 97, 195),
         [] { return Holding(3, 97, 244); },
         {"Over Voltage: 20.0 -> 25.1 Volts"},
         {"Over Voltage"}},
        {"the voltages would cross: neither is written",
         Holding(42, 97, 146),
         [] { return Holding(3, 156, 585); },
         {"Under Voltage: 9.9 -> 16.0 Volts (not written: Under Voltage would lie above Over "
          "Voltage)",
          "Over Voltage: 15.0 -> 60.1 Volts (not written: outside this model's range)"},
         {}},
        {"no plug braking: the switch keeps its state",
         Holding(3, 205, 585, 0x01),
         [] {
             auto p = Holding(3, 205, 585);
             p.panel->switches = {true, false, false, true};
             return p;
         },
         {"High Pedal Disable: off -> on",
          "Plug Brake: on -> off (not written: this controller has no plug braking)"},
         {"Switches"}},
        {"a sensor type the model may not use",
         Holding(100, 205, 585),
         [] {
             auto p = Holding(100, 205, 585);
             p.throttle->sensorCode = 3; // Yamaha 0 - 1K
             return p;
         },
         {"Throttle sensor type: 0 - 5K Ohms -> Yamaha 0 - 1K (not written: this controller "
          "cannot use it)"},
         {}},
        {"a part the controller's pages did not read",
         [] {
             auto c = Holding(3, 205, 585);
             c.throttle.reset();
             return c;
         }(),
         [] { return Holding(3, 205, 585); },
         {"Throttle sensor type and curve (not written: the controller's were not read)"},
         {}},
    };
    for (const Case& c : cases) {
        const LoadPlan plan = PlanLoad(c.controller, c.profile());
        EXPECT_EQ(DifferenceLines(plan), c.lines) << c.what;
        EXPECT_EQ(StepNames(plan), c.steps) << c.what;
    }
}

TEST(ProfilePlan, switchesAreWrittenAsOneByte_withThePlugBrakeBitKept)
{
    auto profile = Holding(3, 205, 585);
    profile.panel->switches = {true, false, true, false};
    const LoadPlan plan = PlanLoad(Holding(3, 205, 585, 0x01), profile);
    ASSERT_EQ(plan.steps.size(), 1u);
    // High Pedal Disable and Turbo on, Plug Brake kept on, full-speed reverse.
    EXPECT_EQ(plan.steps[0].value, 0x01 | 0x02 | 0x04 | 0x08);
}

// The decisions of a load plan are enums; these are their texts, which the
// window and the command line both show.
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
