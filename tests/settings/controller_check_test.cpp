#include "link/controller.h"
#include "settings/controller_check.h"
#include "sim/memory_image.h"
#include "sim/simulator.h"
#include "tests/support/fast_link.h"

#include <gtest/gtest.h>

// The identity check before a Set: four quiet reads, and the comparison.
namespace kestrum {
namespace {

namespace layout = sim::layout;

class ControllerCheckTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        sim.SetEeprom(layout::kModelCode, 3);
        sim.SetEeprom(layout::kSerialNumber, 0x40);
        sim.SetEeprom(layout::kSerialNumber + 1, 0xE2);
        sim.SetEeprom(layout::kSerialNumber + 2, 0x01);
        ASSERT_TRUE(test::OpenFastLink(link, sim.PortPath(), 2));
        sim.ClearTranscript();
    }

    sim::Simulator sim{sim::Options{.modelCode = 0, .pacing = false, .liveGauges = false}};
    CController link;
    const ControllerKey shown{3, {0x40, 0xE2, 0x01}};
};

TEST_F(ControllerCheckTest, sameController_same_exactlyFourReadsInOrder)
{
    EXPECT_EQ(CheckController(link, shown), ControllerCheck::Same);
    const std::vector<Packet> expected = {
        MakeRequest(Command::ReadEeprom, 127), MakeRequest(Command::ReadEeprom, 48),
        MakeRequest(Command::ReadEeprom, 49), MakeRequest(Command::ReadEeprom, 50)};
    EXPECT_EQ(sim.Transcript(), expected);
}

TEST_F(ControllerCheckTest, differences_other_foundKeyGiven)
{
    struct Case
    {
        std::uint8_t address;
        std::uint8_t value;
    };
    for (const Case& c : {Case{layout::kModelCode, 4}, Case{layout::kSerialNumber, 0x41},
                          Case{layout::kSerialNumber + 2, 0x02}}) {
        const std::uint8_t before = sim.Eeprom(c.address);
        sim.SetEeprom(c.address, c.value);
        std::optional<ControllerKey> found;
        EXPECT_EQ(CheckController(link, shown, &found), ControllerCheck::Other) << int(c.address);
        ASSERT_TRUE(found.has_value());
        EXPECT_NE(*found, shown);
        sim.SetEeprom(c.address, before);
    }
}

TEST_F(ControllerCheckTest, silentController_silent_noKey)
{
    sim.SetFaults({.silent = true});
    std::optional<ControllerKey> found = shown;
    EXPECT_EQ(CheckController(link, shown, &found), ControllerCheck::Silent);
    EXPECT_FALSE(found.has_value());
}

TEST_F(ControllerCheckTest, anotherControllerMessage_namesModelSerialAndNothingWritten)
{
    const ControllerKey other{0, {0x01, 0x00, 0x00}};
    const std::string message = AnotherControllerMessage(other);
    EXPECT_NE(message.find("another controller"), std::string::npos);
    EXPECT_NE(message.find(other.ModelText()), std::string::npos);
    EXPECT_NE(message.find("serial number 1"), std::string::npos);
    EXPECT_NE(message.find("read"), std::string::npos);
    EXPECT_NE(message.find("Nothing was written"), std::string::npos);
}

} // namespace
} // namespace kestrum
