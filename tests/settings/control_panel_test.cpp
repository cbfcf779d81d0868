#include "link/controller.h"
#include "settings/control_panel.h"
#include "sim/memory_image.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

// The Control Panel's commands on the link against the simulated controller:
// the cases of the page that need no widget to show.
namespace kestrum {
namespace {

namespace layout = sim::layout;

Packet ReadE(std::uint8_t address)
{
    return MakeRequest(Command::ReadEeprom, address);
}

std::vector<Packet> Written(std::initializer_list<std::pair<std::uint8_t, std::uint8_t>> writes)
{
    std::vector<Packet> packets;
    for (const auto& [address, data] : writes) {
        packets.push_back(MakeRequest(Command::WriteEeprom, address, 0, data, 0));
        packets.push_back(ReadE(address));
    }
    return packets;
}

class ControlPanelTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        sim.SetEeprom(layout::kModelCode, 0);
        link.Timings().readWriteTries = 2;
        link.Timings().retryDelay = 100;
        link.Timings().writeDelay = 1;
        link.Port().SetName(sim.PortPath());
        ASSERT_TRUE(link.OpenLink());
    }

    void SetWord(std::uint8_t address, std::uint16_t value)
    {
        sim.SetEeprom(address, static_cast<std::uint8_t>(value & 0xFF));
        sim.SetEeprom(address + 1, static_cast<std::uint8_t>(value >> 8));
    }

    sim::Simulator sim{sim::Options{.modelCode = 0, .pacing = false, .liveGauges = false}};
    CController link;
    ControlPanel panel;
};

// The settings and switches keep what the page had; the identity texts show
// 0 for what could not be read rather than keep an older controller's.
TEST_F(ControlPanelTest, readsThatFailQuietly_leaveSettingsAsTheyWere_identityShowsZero)
{
    link.Timings().readWriteTries = 0; // reads report failure without sending

    EXPECT_EQ(panel.Refresh(link), ControlPanel::Outcome::Done);

    EXPECT_EQ(sim.Transcript(), std::vector<Packet>{ReadE(127)}); // the probe only
    EXPECT_EQ(&panel.CurrentModel(), &FallbackModel());
    EXPECT_EQ(panel.ModelLabel(), "UNKNOWN");
    EXPECT_EQ(panel.SerialNumberLabel(), "0");
    EXPECT_EQ(panel.FieldMapLabel(), "0");
    EXPECT_EQ(panel.RememberedValue(SettingId::MaxOutputCurrent), 100);
    EXPECT_EQ(panel.Position(SettingId::MaxOutputCurrent), 0);
    EXPECT_EQ(panel.ValueText(SettingId::UnderVoltage), "16.0");
    EXPECT_EQ(panel.RememberedSwitches(), 0x08);
    EXPECT_FALSE(panel.SwitchChecked(3));
    EXPECT_TRUE(panel.PlugBrakeEnabled());
    EXPECT_FALSE(panel.SetEnabled());
    EXPECT_TRUE(panel.Refreshed());
}

TEST_F(ControlPanelTest, identityReadFailingQuietlyAfterARead_showsZeroNotTheOldNumbers)
{
    sim.SetEeprom(layout::kSerialNumber, 0x40);
    sim.SetEeprom(layout::kSerialNumber + 1, 0xE2);
    sim.SetEeprom(layout::kSerialNumber + 2, 0x01);
    sim.SetFlash(layout::kFieldMap, 0x1234);
    ASSERT_EQ(panel.Refresh(link), ControlPanel::Outcome::Done);
    ASSERT_EQ(panel.SerialNumberLabel(), "123456");
    ASSERT_EQ(panel.FieldMapLabel(), "52");

    link.Timings().readWriteTries = 0;
    EXPECT_EQ(panel.Refresh(link), ControlPanel::Outcome::Done);

    EXPECT_EQ(panel.SerialNumberLabel(), "0");
    EXPECT_EQ(panel.FieldMapLabel(), "0");
    EXPECT_EQ(panel.ModelLabel(), "KAV RK-AA");
}

TEST_F(ControlPanelTest, refreshEndingAfterAModelChange_voltageTextsFollowTheNewModel)
{
    sim.SetEeprom(layout::kModelCode, 42); // 8.5..16 V under, 15..30 V over
    link.Timings().readWriteTries = 1;
    sim.SetFaults(sim::Faults{.dropEvery = 3}); // probe and model answered, field map not

    EXPECT_EQ(panel.Refresh(link), ControlPanel::Outcome::NotResponding);

    EXPECT_EQ(panel.ModelLabel(), "KAV RK-GA");
    EXPECT_EQ(panel.Maximum(SettingId::UnderVoltage), 73);
    EXPECT_EQ(panel.ValueText(SettingId::UnderVoltage), "8.5");
    EXPECT_EQ(panel.ValueText(SettingId::OverVoltage), "15.0");
}

// The model code read picks the row of the model table that sets the
// voltage ranges and the model label; a code the table does not know picks
// its fallback row, which changes nothing while that row is current.
TEST_F(ControlPanelTest, modelCodeRead_setsTheRangesAndLabel)
{
    const struct
    {
        const char* what;
        std::uint8_t firstCode;
        std::uint8_t thenCode;
        const char* label;
        std::uint16_t underMaximum;
        std::uint16_t overMaximum;
        std::uint16_t overPosition;
    } cases[] = {
        {"a known model after another", 0, 102, "TLQ RK-AG", 234, 585, 200},
        // The fallback row was current before the first read: nothing
        // changes, and 200 is clamped to the range as it was built.
        {"an unknown code while unknown", 255, 255, "UNKNOWN", 100, 100, 100},
        {"another unknown code while unknown", 255, 60, "UNKNOWN UNKNOWN", 234, 292, 200},
        {"another unknown code after a known model", 0, 60, "UNKNOWN UNKNOWN", 234, 292, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetWord(layout::kOverVoltage, 292 + 200); // 50.5 V on model 0
        ControlPanel fresh;
        sim.SetEeprom(layout::kModelCode, c.firstCode);
        ASSERT_EQ(fresh.Refresh(link), ControlPanel::Outcome::Done);
        sim.SetEeprom(layout::kModelCode, c.thenCode);
        ASSERT_EQ(fresh.Refresh(link), ControlPanel::Outcome::Done);
        EXPECT_EQ(fresh.ModelLabel(), c.label);
        EXPECT_EQ(fresh.Maximum(SettingId::UnderVoltage), c.underMaximum);
        EXPECT_EQ(fresh.Maximum(SettingId::OverVoltage), c.overMaximum);
        EXPECT_EQ(fresh.Position(SettingId::OverVoltage), c.overPosition);
    }
}

// Each Set writes the switch byte when a switch differs from what the
// controller holds, also when it is turned back at once.
TEST_F(ControlPanelTest, switchTurnedOnAndOffAgain_isWrittenEachTime)
{
    sim.SetEeprom(kSwitchByteAddress, 0x02); // plug brake on
    ASSERT_EQ(panel.Refresh(link), ControlPanel::Outcome::Done);
    const std::size_t turbo = 2;
    const struct
    {
        bool turboOn;
        std::uint8_t written;
    } steps[] = {{true, 0x06}, {false, 0x02}};
    for (const auto& step : steps) {
        sim.ClearTranscript();
        panel.SetSwitch(turbo, step.turboOn);
        panel.UpdateSetButton(); // as the page does after each click
        EXPECT_TRUE(panel.SetEnabled()) << step.turboOn;
        EXPECT_EQ(panel.Set(link), ControlPanel::Outcome::Done);
        EXPECT_EQ(sim.Transcript(), Written({{kSwitchByteAddress, step.written}})) << step.turboOn;
        EXPECT_FALSE(panel.SetEnabled()) << step.turboOn;
    }
}

// Nothing was read, so nothing may be written: no position the technician
// never saw read nor chose (the currents at 0) ever reaches the controller.
TEST_F(ControlPanelTest, beforeAnyRefresh_setIsDisabledAndWritesNothing_defaultsMoveNothing)
{
    EXPECT_FALSE(panel.SetEnabled());
    EXPECT_FALSE(panel.AnythingRead());
    panel.Defaults();
    EXPECT_FALSE(panel.SetEnabled());

    EXPECT_EQ(panel.Set(link), ControlPanel::Outcome::Done);
    EXPECT_TRUE(sim.Transcript().empty());
    EXPECT_EQ(panel.WrittenBySet(), 0u);

    // A refresh that reads them makes them writable.
    ASSERT_EQ(panel.Refresh(link), ControlPanel::Outcome::Done);
    EXPECT_TRUE(panel.SettingRead(SettingId::MaxOutputCurrent));
    EXPECT_TRUE(panel.SwitchesRead());
}

TEST_F(ControlPanelTest, unprogrammedUnderVoltage_comesUpAtTheOverVoltage)
{
    SetWord(layout::kUnderVoltage, 0xFFFF);
    SetWord(layout::kOverVoltage, 292); // 30.0 V

    ASSERT_EQ(panel.Refresh(link), ControlPanel::Outcome::Done);

    EXPECT_EQ(panel.Position(SettingId::UnderVoltage), 136);
    EXPECT_EQ(panel.RememberedValue(SettingId::UnderVoltage), 136);
    EXPECT_EQ(panel.ValueText(SettingId::UnderVoltage), "30.0");
    EXPECT_FALSE(panel.SetEnabled());
}

TEST_F(ControlPanelTest, voltageWriteFailingAtItsHighByte_isWrittenWholeNextTime)
{
    SetWord(layout::kOverVoltage, 292);
    ASSERT_EQ(panel.Refresh(link), ControlPanel::Outcome::Done);
    panel.MoveSlider(SettingId::OverVoltage, 264, false); // 292 + 264 = 0x022C
    sim.ClearTranscript();
    link.Timings().readWriteTries = 1;
    sim.SetFaults(sim::Faults{.dropEvery = 2}); // the high byte's read-back

    EXPECT_EQ(panel.Set(link), ControlPanel::Outcome::NotResponding);
    EXPECT_EQ(panel.RememberedValue(SettingId::OverVoltage), 0);
    EXPECT_TRUE(panel.SetEnabled());

    sim.SetFaults({});
    sim.ClearTranscript();
    EXPECT_EQ(panel.Set(link), ControlPanel::Outcome::Done);
    EXPECT_EQ(sim.Transcript(), Written({{16, 0x2C}, {17, 0x02}}));
    EXPECT_EQ(panel.RememberedValue(SettingId::OverVoltage), 264);
}

TEST_F(ControlPanelTest, sliderMovesAreClampedToTheRange_andSettleSilentlyAtTheEnd)
{
    SetWord(layout::kOverVoltage, 292); // 30.0 V
    ASSERT_EQ(panel.Refresh(link), ControlPanel::Outcome::Done);

    EXPECT_EQ(panel.MoveSlider(SettingId::ThrottleUpRate, 400, false).position, 15);
    const auto settled = panel.MoveSlider(SettingId::UnderVoltage, 283, true);
    EXPECT_TRUE(settled.message.empty());
    EXPECT_LT(settled.position, 283);
    const auto moved = panel.MoveSlider(SettingId::UnderVoltage, 283, false);
    EXPECT_EQ(moved.message, ControlPanel::kUnderVoltageMessage);
    EXPECT_EQ(moved.position, settled.position);
}

} // namespace
} // namespace kestrum
