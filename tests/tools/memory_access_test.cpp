#include "link/controller.h"
#include "sim/simulator.h"
#include "tests/support/fast_link.h"
#include "tools/memory_access.h"
#include "tools/parse_byte_value.h"

#include <gtest/gtest.h>

// One memory cell read or written, as the memory viewer and the command line
// make it: what each memory takes, and the access over a real pseudo-terminal
// against the simulated controller.
namespace kestrum {
namespace {

TEST(CheckMemoryAccess, takesWhatEachMemoryHolds_refusesTheRest)
{
    using enum MemoryArea;
    const struct
    {
        MemoryAccess access;
        MemoryRefusal refusal;
    } cases[] = {
        {{Flash, false, 0x7FFF}, MemoryRefusal::None},
        {{Flash, false, 0x8000}, MemoryRefusal::Address},
        {{Flash, false, 0x8002}, MemoryRefusal::Address},
        {{Flash, false, 0x1234, 0xFFFF}, MemoryRefusal::None}, // a read stores nothing
        {{Flash, true, 0x7FFF, 0x3FFF}, MemoryRefusal::None},
        {{Flash, true, 0x7FFF, 0x4000}, MemoryRefusal::Value},
        {{Flash, true, 0x8000, 0x1234}, MemoryRefusal::Address},
        {{Flash, true, 0x8000, 0x4000}, MemoryRefusal::Address}, // the address is told first
        {{Eeprom, true, 0xFF, 0xFF}, MemoryRefusal::None},
        {{Eeprom, false, 0x100}, MemoryRefusal::Address},
        {{Ram, true, 0x10, 0x100}, MemoryRefusal::Value},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckMemoryAccess(c.access), c.refusal)
            << static_cast<int>(c.access.area) << " " << c.access.write << " " << c.access.address
            << " " << c.access.value;
    }
}

TEST(RefusalText, namesTheLimitAndTheNumber)
{
    EXPECT_EQ(RefusalText({MemoryArea::Flash, true, 0x8000, 1}, MemoryRefusal::Address),
              "FLASH addresses go from 0 to 0x7FFF; 0x8000 is past the end");
    EXPECT_EQ(RefusalText({MemoryArea::Flash, true, 0, 0x4000}, MemoryRefusal::Value),
              "FLASH words hold 14 bits, 0 to 0x3FFF; 0x4000 does not fit");
}

TEST(ParseMemoryNumber, bytesForEepromAndRam_sixteenBitsForFlash)
{
    const struct
    {
        const char* text;
        MemoryArea area;
        std::optional<unsigned> number;
    } cases[] = {
        {"0x1F", MemoryArea::Eeprom, 0x1F},         {" 12 ", MemoryArea::Ram, 12},
        {"256", MemoryArea::Eeprom, std::nullopt},  {"0x8000", MemoryArea::Flash, 0x8000},
        {"x1234", MemoryArea::Flash, 0x1234},       {"65535", MemoryArea::Flash, 0xFFFF},
        {"65536", MemoryArea::Flash, std::nullopt}, {"0x10000", MemoryArea::Flash, std::nullopt},
        {"zz", MemoryArea::Flash, std::nullopt},    {"", MemoryArea::Flash, std::nullopt},
        {"-1", MemoryArea::Flash, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseMemoryNumber(c.text, c.area), c.number) << '"' << c.text << '"';
}

TEST(ParseWordValue, normalisesToFourDigits_orClearsOnAStrayCharacter)
{
    std::string text = "x1f";
    std::uint16_t value = 7;
    EXPECT_TRUE(ParseWordValue(text, value));
    EXPECT_EQ(text, "0x001F");
    EXPECT_EQ(value, 0x1F);
    text = "1f";
    EXPECT_FALSE(ParseWordValue(text, value));
    EXPECT_EQ(text, "0x0000");
    EXPECT_EQ(value, 0);
    text = "70000";
    value = 5;
    EXPECT_FALSE(ParseWordValue(text, value));
    EXPECT_EQ(text, "70000");
    EXPECT_EQ(value, 5);
}

class RunMemoryAccessTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        ASSERT_TRUE(test::OpenFastLink(link, sim.PortPath(), 2));
        sim.ClearTranscript();
    }
    sim::Simulator sim{sim::Options{.pacing = false, .liveGauges = false}};
    CController link;
};

TEST_F(RunMemoryAccessTest, refusedFlashAccess_sendsNothing)
{
    sim.SetFlash(0x0000, 0x0155);
    for (const MemoryAccess& access : {MemoryAccess{MemoryArea::Flash, true, 0x8000, 0x1234},
                                       MemoryAccess{MemoryArea::Flash, true, 0x0000, 0x4000},
                                       MemoryAccess{MemoryArea::Flash, false, 0x8002}}) {
        const MemoryResult result = RunMemoryAccess(link, access);
        EXPECT_EQ(result.status, MemoryResult::Status::Refused);
        EXPECT_NE(result.refusal, MemoryRefusal::None);
        EXPECT_TRUE(result.text.empty());
    }
    EXPECT_TRUE(sim.Transcript().empty());
    EXPECT_EQ(sim.Flash(0x0000), 0x0155);
}

TEST_F(RunMemoryAccessTest, readsAndWrites_describeTheirResultAsTheViewerShowsIt)
{
    sim.SetFlash(0x7FFF, 0x3ABC);
    MemoryResult read = RunMemoryAccess(link, {MemoryArea::Flash, false, 0x7FFF});
    EXPECT_EQ(read.status, MemoryResult::Status::Done);
    EXPECT_EQ(read.word, 0x3ABC);
    EXPECT_EQ(read.text, "Flash address 0x7FFF (32767) = 0x3ABC (15036)");

    const MemoryResult written = RunMemoryAccess(link, {MemoryArea::Eeprom, true, 0x10, 0xC8});
    EXPECT_EQ(written.status, MemoryResult::Status::Done);
    EXPECT_EQ(written.text, "Write succeeded");
    EXPECT_EQ(sim.Eeprom(0x10), 0xC8);

    // A link that makes no attempts reports a read as failed: nothing to show.
    link.Timings().readWriteTries = 0;
    read = RunMemoryAccess(link, {MemoryArea::Eeprom, false, 0x10});
    EXPECT_EQ(read.status, MemoryResult::Status::Failed);
    EXPECT_TRUE(read.text.empty());
}

} // namespace
} // namespace kestrum
