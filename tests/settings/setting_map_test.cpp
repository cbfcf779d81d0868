#include "settings/setting_map.h"

#include <clocale>
#include <gtest/gtest.h>
#include <string>

namespace kestrum {
namespace {

constexpr std::uint8_t kSetA = 0;  // KAV RK-AA
constexpr std::uint8_t kSetC = 3;  // KAV RK-AG
constexpr std::uint8_t kSetD = 42; // KAV RK-GA

const char* Name(SettingId id)
{
    return FindSetting(id).label.data();
}

struct LayoutCase
{
    SettingId id;
    unsigned address;
    unsigned width;
    std::uint16_t fixedMaximum;
    const char* unit;
};

TEST(SettingLayoutTest, AddressesWidthsRangesAndUnits)
{
    const LayoutCase cases[] = {
        {SettingId::MaxOutputCurrent, 4, 1, 100, "%"},
        {SettingId::UnderVoltage, 7, 2, 100, "Volts"},
        {SettingId::OverVoltage, 16, 2, 100, "Volts"},
        {SettingId::ThrottleUpRate, 9, 1, 15, ""},
        {SettingId::ThrottleDownRate, 10, 1, 15, ""},
        {SettingId::BrakeCurrent, 11, 1, 100, "%"},
        {SettingId::TopSpeed, 56, 1, 100, "%"},
    };
    ASSERT_EQ(Settings().size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const SettingInfo& setting = Settings()[i];
        SCOPED_TRACE(Name(cases[i].id));
        EXPECT_EQ(setting.id, cases[i].id); // the order Set writes in
        EXPECT_EQ(&FindSetting(cases[i].id), &setting);
        EXPECT_EQ(setting.address, cases[i].address);
        EXPECT_EQ(setting.width, cases[i].width);
        EXPECT_EQ(setting.fixedMaximum, cases[i].fixedMaximum);
        EXPECT_EQ(setting.unit, cases[i].unit);
    }
}

TEST(SettingLayoutTest, voltageRanges_followTheModelOthersAreFixed)
{
    const ModelInfo& c = FindModel(kSetC);
    EXPECT_EQ(SliderMaximum(SettingId::UnderVoltage, c), 429);
    EXPECT_EQ(SliderMaximum(SettingId::OverVoltage, c), 585);
    EXPECT_EQ(SliderMaximum(SettingId::MaxOutputCurrent, c), 100);
    EXPECT_EQ(SliderMaximum(SettingId::ThrottleDownRate, c), 15);
    EXPECT_EQ(SliderMaximum(SettingId::TopSpeed, c), 100);
}

// A stored value read from the controller: its slider position and text.
struct ReadCase
{
    SettingId id;
    std::uint8_t model;
    std::uint16_t stored;
    std::uint16_t overVoltagePosition; // used by Under Voltage only
    std::uint16_t position;
    const char* text;
};

class RawToPositionTest : public testing::TestWithParam<ReadCase>
{};

TEST_P(RawToPositionTest, storedValue_givesPositionAndText)
{
    const ReadCase& c = GetParam();
    const ModelInfo& model = FindModel(c.model);
    const std::uint16_t position =
        RawToPosition(c.id, c.stored, model, SliderMaximum(c.id, model), c.overVoltagePosition);
    EXPECT_EQ(position, c.position);
    EXPECT_EQ(PositionText(c.id, position, model), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, RawToPositionTest,
    testing::Values(ReadCase{SettingId::UnderVoltage, kSetA, 0x01B7, 292, 283, "45.0"},
                    ReadCase{SettingId::UnderVoltage, kSetA, 0x009C, 292, 0, "16.0"},
                    ReadCase{SettingId::OverVoltage, kSetC, 0x0349, 0, 549, "86.3"},
                    ReadCase{SettingId::OverVoltage, kSetD, 0x0124, 0, 146, "30.0"},
                    ReadCase{SettingId::TopSpeed, kSetA, 0, 0, 100, "100.0"},
                    ReadCase{SettingId::TopSpeed, kSetA, 100, 0, 0, "50.0"},
                    ReadCase{SettingId::TopSpeed, kSetA, 40, 0, 60, "80.0"},
                    ReadCase{SettingId::TopSpeed, kSetA, 99, 0, 1, "50.5"},
                    ReadCase{SettingId::MaxOutputCurrent, kSetA, 73, 0, 73, "73"},
                    ReadCase{SettingId::ThrottleDownRate, kSetA, 7, 0, 7, "7"},
                    ReadCase{SettingId::BrakeCurrent, kSetA, 100, 0, 100, "100"}));

// Values outside a slider's range wrap in 16-bit arithmetic and end at the
// top; an under-voltage pushed there is lowered to the over-voltage.
INSTANTIATE_TEST_SUITE_P(
    WrapAndClamp, RawToPositionTest,
    testing::Values(ReadCase{SettingId::MaxOutputCurrent, kSetA, 255, 0, 100, "100"},
                    ReadCase{SettingId::ThrottleUpRate, kSetA, 20, 0, 15, "15"},
                    ReadCase{SettingId::TopSpeed, kSetA, 255, 0, 100, "100.0"},
                    ReadCase{SettingId::TopSpeed, kSetA, 101, 0, 100, "100.0"},
                    ReadCase{SettingId::OverVoltage, kSetA, 0xFFFF, 0, 292, "60.0"},
                    ReadCase{SettingId::OverVoltage, kSetA, 0, 0, 292, "60.0"},
                    // unprogrammed EEPROM against an over-voltage of 30.0 V
                    ReadCase{SettingId::UnderVoltage, kSetA, 0xFFFF, 0, 136, "30.0"},
                    // below the offset: wraps, clamps, lowered the same way
                    ReadCase{SettingId::UnderVoltage, kSetA, 0, 0, 136, "30.0"},
                    // clamped but already below the over-voltage: not lowered further
                    ReadCase{SettingId::UnderVoltage, kSetA, 0xFFFF, 292, 283, "45.0"},
                    ReadCase{SettingId::UnderVoltage, kSetD, 0xFFFF, 0, 63, "15.0"},
                    // in range yet above the over-voltage: shown as the controller has it
                    ReadCase{SettingId::UnderVoltage, kSetA, 400, 0, 244, "41.0"}));

struct WriteCase
{
    SettingId id;
    std::uint8_t model;
    std::uint16_t position;
    std::uint16_t stored;
    const char* text;
};

class PositionToRawTest : public testing::TestWithParam<WriteCase>
{};

TEST_P(PositionToRawTest, position_givesStoredValueAndText)
{
    const WriteCase& c = GetParam();
    const ModelInfo& model = FindModel(c.model);
    EXPECT_EQ(PositionToRaw(c.id, c.position, model), c.stored);
    EXPECT_EQ(PositionText(c.id, c.position, model), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, PositionToRawTest,
    testing::Values(WriteCase{SettingId::UnderVoltage, kSetA, 100, 0x0100, "26.3"},
                    WriteCase{SettingId::UnderVoltage, kSetD, 0, 83, "8.5"},
                    WriteCase{SettingId::OverVoltage, kSetC, 549, 841, "86.3"},
                    WriteCase{SettingId::OverVoltage, kSetC, 585, 877, "90.0"},
                    WriteCase{SettingId::TopSpeed, kSetA, 0, 100, "50.0"},
                    WriteCase{SettingId::TopSpeed, kSetA, 100, 0, "100.0"},
                    WriteCase{SettingId::TopSpeed, kSetA, 60, 40, "80.0"},
                    WriteCase{SettingId::MaxOutputCurrent, kSetA, 0, 0, "0"},
                    WriteCase{SettingId::ThrottleUpRate, kSetA, 15, 15, "15"}));

// Whatever the page writes it reads back unchanged, for every position of
// every slider and every voltage set.
TEST(SettingRoundTripTest, everyPosition_survivesWriteAndRead)
{
    for (std::uint8_t code : {kSetA, std::uint8_t{1}, kSetC, kSetD, std::uint8_t{102}}) {
        const ModelInfo& model = FindModel(code);
        for (const SettingInfo& setting : Settings()) {
            const std::uint16_t maximum = SliderMaximum(setting.id, model);
            const auto overTop = SliderMaximum(SettingId::OverVoltage, model);
            for (std::uint16_t p = 0; p <= maximum; ++p) {
                const std::uint16_t stored = PositionToRaw(setting.id, p, model);
                ASSERT_EQ(RawToPosition(setting.id, stored, model, maximum, overTop), p)
                    << Name(setting.id) << " model " << int(code);
                if (setting.width == 1) {
                    ASSERT_LT(stored, 256);
                }
            }
        }
    }
}

struct CorrectionCase
{
    std::uint8_t model;
    std::uint16_t moved;
    std::uint16_t other;
    std::uint16_t position;
    bool corrected;
};

TEST(VoltageRuleTest, underVoltage_givesWayToTheTenth)
{
    const CorrectionCase cases[] = {
        {kSetA, 137, 0, 136, true},  // 30.062 V counts as 30.1 V
        {kSetA, 136, 0, 136, false}, // 29.959 V counts as 30.0 V: equal is allowed
        {kSetA, 283, 0, 136, true},  {kSetA, 283, 292, 283, false},
        {kSetD, 73, 0, 63, true},    {kSetA, 0, 0, 0, false},
    };
    for (const CorrectionCase& c : cases) {
        const Correction result = CorrectUnderVoltage(c.moved, c.other, FindModel(c.model));
        EXPECT_EQ(result.position, c.position) << "under " << c.moved << " over " << c.other;
        EXPECT_EQ(result.corrected, c.corrected) << "under " << c.moved << " over " << c.other;
    }
}

TEST(VoltageRuleTest, overVoltage_givesWayToTheTenth)
{
    const CorrectionCase cases[] = {
        {kSetA, 0, 137, 1, true},   // 30.0 V below 30.1 V: raised to 30.1 V
        {kSetA, 0, 136, 0, false},  // equal to the tenth
        {kSetA, 0, 283, 146, true}, // 44.985 V counts as 45.0 V
        {kSetA, 292, 283, 292, false}, {kSetD, 0, 73, 10, true},
    };
    for (const CorrectionCase& c : cases) {
        const ModelInfo& model = FindModel(c.model);
        const Correction result = CorrectOverVoltage(c.moved, c.other, model);
        EXPECT_EQ(result.position, c.position) << "over " << c.moved << " under " << c.other;
        EXPECT_EQ(result.corrected, c.corrected) << "over " << c.moved << " under " << c.other;
        EXPECT_GE(VoltageTenths(OverVoltageAt(result.position, model)),
                  VoltageTenths(UnderVoltageAt(c.other, model)));
    }
}

TEST(DefaultsTest, FactoryPositionsWithOverVoltageAtTheTop)
{
    const ModelInfo& d = FindModel(kSetD);
    struct
    {
        SettingId id;
        std::uint16_t position;
        const char* text;
    } cases[] = {
        {SettingId::MaxOutputCurrent, 100, "100"}, {SettingId::UnderVoltage, 0, "8.5"},
        {SettingId::OverVoltage, 146, "30.0"},     {SettingId::ThrottleUpRate, 5, "5"},
        {SettingId::ThrottleDownRate, 10, "10"},   {SettingId::BrakeCurrent, 100, "100"},
        {SettingId::TopSpeed, 0, "50.0"},
    };
    for (const auto& c : cases) {
        const std::uint16_t position = DefaultPosition(c.id, SliderMaximum(c.id, d));
        EXPECT_EQ(position, c.position) << Name(c.id);
        EXPECT_EQ(PositionText(c.id, position, d), c.text) << Name(c.id);
    }
    EXPECT_EQ(DefaultPosition(SettingId::OverVoltage, 585), 585);
}

// The page's GUI library adopts the environment's locale at start-up; a
// decimal comma there must not reach the value labels.
TEST(PositionTextTest, DecimalPointUnderACommaLocale)
{
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            comma = name;
            break;
        }
    }
    if (comma == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma is installed";

    const ModelInfo& setA = FindModel(kSetA);
    const std::string under = PositionText(SettingId::UnderVoltage, 100, setA);
    const std::string topSpeed = PositionText(SettingId::TopSpeed, 1, setA);
    std::setlocale(LC_NUMERIC, previous.c_str());

    EXPECT_EQ(under, "26.3") << comma;
    EXPECT_EQ(topSpeed, "50.5") << comma;
}

} // namespace
} // namespace kestrum
