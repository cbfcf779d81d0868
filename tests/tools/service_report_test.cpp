// The service report's model: today's changes from the history, the Monitor
// summary, and the reading that takes nothing from another controller,
// against the simulated controller on a pseudo-terminal.
#include "link/controller.h"
#include "profiles/service_history.h"
#include "settings/control_panel.h"
#include "sim/memory_image.h"
#include "sim/simulator.h"
#include "support/fast_link.h"
#include "support/temp_dir.h"
#include "throttle/throttle_response.h"
#include "tools/error_log_export.h"
#include "tools/service_report.h"

#include <cmath>
#include <gtest/gtest.h>

namespace kestrum {
namespace {

namespace layout = sim::layout;

ControllerProfile Profile(const std::string& takenAt, const std::string& keptBefore,
                          std::uint16_t maxCurrent, const ThrottleTable& table)
{
    ControllerProfile profile;
    profile.takenAt = takenAt;
    profile.toolVersion = "1.0.0.1";
    profile.keptBefore = keptBefore;
    profile.modelCode = ModelTable[0].code;
    profile.modelName = DisplayName(ModelTable[0]);
    profile.serialNumber = "228138";
    profile.fieldMap = "18";
    PanelProfile panel;
    // The factory defaults, which every model can take.
    const ModelInfo& model = ModelTable[0];
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        const SettingInfo& setting = Settings()[i];
        panel.stored[i] =
            setting.toStored(DefaultPosition(setting.id, SliderMaximum(setting.id, model)), model);
    }
    panel.stored[0] = maxCurrent;
    profile.panel = panel;
    profile.throttle = ThrottleProfile{255, table};
    return profile;
}

class ChangesOfDayTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.Valid()); }
    void Keep(const ControllerProfile& profile) { ASSERT_FALSE(history.Keep(profile)); }

    test::TempDir dir;
    ServiceHistory history{dir.Path()};
};

TEST_F(ChangesOfDayTest, todaysOccasions_areListedOldestFirst_withWhatEachOneChanged)
{
    Keep(Profile("2026-12-09T16:00:00", "Set", 50, kLinearTable));
    Keep(Profile("2026-12-10T09:00:00", "Set", 60, kLinearTable));
    Keep(Profile("2026-12-10T11:30:05", "Profile load", 70, kLinearTable));
    const ControllerProfile now = Profile("2026-12-10T12:00:00", "", 80, kSCurveTable);

    const std::vector<ReportChange> changes = ChangesOfDay(history, now, "2026-12-10");

    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].time, "09:00:00");
    EXPECT_EQ(changes[0].occasion, "Set");
    EXPECT_EQ(changes[0].lines, std::vector<std::string>{"Max Output Current: 60 -> 70 %"});
    EXPECT_EQ(changes[1].time, "11:30:05");
    EXPECT_EQ(changes[1].occasion, "Profile load");
    EXPECT_EQ(changes[1].lines, (std::vector<std::string>{"Max Output Current: 70 -> 80 %",
                                                          "Throttle curve: Linear -> S-Curve"}));
}

TEST_F(ChangesOfDayTest, partAPageHadNotReadBeforeAChange_isNotCompared)
{
    ControllerProfile before = Profile("2026-12-10T09:00:00", "Set", 60, kLinearTable);
    before.throttle.reset();
    Keep(before);

    const auto changes =
        ChangesOfDay(history, Profile("2026-12-10T10:00:00", "", 61, kSCurveTable), "2026-12-10");

    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].lines, std::vector<std::string>{"Max Output Current: 60 -> 61 %"});
}

TEST_F(ChangesOfDayTest, noOccasionToday_givesNoChange)
{
    Keep(Profile("2026-12-09T09:00:00", "Set", 60, kLinearTable));
    EXPECT_TRUE(
        ChangesOfDay(history, Profile("2026-12-10T09:00:00", "", 61, kLinearTable), "2026-12-10")
            .empty());
}

monitor::PlotSample Sample(std::array<float, monitor::kGaugeCount> values)
{
    monitor::PlotSample sample;
    sample.values = values;
    return sample;
}

TEST(SummariseReadingsTest, eachReadGauge_getsItsMinimumMaximumAndMean_flagsLeftOut)
{
    const float none = std::nanf("");
    const auto summary = SummariseReadings({
        Sample({10, 25.5f, 48.0f, none, none, 3}),
        Sample({30, 26.5f, 47.0f, none, none, 0}),
        Sample({none, 30.5f, 46.0f, none, none, 1}),
    });

    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->cycles, 3u);
    ASSERT_EQ(summary->gauges.size(), 3u);
    const std::vector<std::array<std::string, 5>> expected = {
        {"Throttle Position", "%", "10", "30", "20"},
        {"Controller Temperature", "\u00B0C", "25.5", "30.5", "27.5"},
        {"Battery Voltage", "Volts", "46.0", "48.0", "47.0"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const GaugeSummary& gauge = summary->gauges[i];
        EXPECT_EQ((std::array<std::string, 5>{gauge.label, gauge.unit, gauge.minimum, gauge.maximum,
                                              gauge.mean}),
                  expected[i]);
    }
}

TEST(SummariseReadingsTest, noReadings_giveNoSummary)
{
    EXPECT_FALSE(SummariseReadings({}));
}

class ReadForReportTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        ASSERT_TRUE(test::OpenFastLink(link, sim.PortPath(), 2));
    }

    ReportReading Read()
    {
        NoProgress quiet;
        return ReadForReport(link, panel, response, throttleOf, quiet);
    }
    std::size_t FlashReads() const
    {
        std::size_t count = 0;
        for (const Packet& packet : sim.Transcript())
            count += static_cast<Command>(packet[1]) == Command::ReadFlash;
        return count;
    }
    // Another controller on the same port: serial number 1193046, other values.
    void SwapController()
    {
        sim.SetEeprom(layout::kSerialNumber, 0x56);
        sim.SetEeprom(layout::kSerialNumber + 1, 0x34);
        sim.SetEeprom(layout::kSerialNumber + 2, 0x12);
        sim.SetEeprom(layout::kMaxCurrent, 33);
    }

    sim::Simulator sim{sim::Options{.pacing = false, .liveGauges = false}};
    CController link;
    ControlPanel panel;
    ThrottleResponse response;
    std::optional<ThrottleReadOf> throttleOf;
};

TEST_F(ReadForReportTest, nothingRead_readsBothPagesAndTheErrorLog_likeTheExport)
{
    const ReportReading reading = Read();

    ASSERT_EQ(reading.outcome, ReportReading::Outcome::Done);
    EXPECT_EQ(reading.profile.serialNumber, "228138");
    ASSERT_TRUE(reading.profile.panel && reading.profile.throttle);
    EXPECT_EQ(reading.profile.panel->stored[0], 90);
    ASSERT_TRUE(throttleOf);
    EXPECT_EQ(throttleOf->serialNumber, "228138");
    const ErrorLogLine exported = ReadErrorLogLine(link);
    std::string joined;
    for (const std::string& entry : reading.errorLog)
        joined += (joined.empty() ? "" : ",") + entry;
    EXPECT_EQ(reading.errorLog.size(), 32u);
    EXPECT_EQ(joined, exported.line);
}

TEST_F(ReadForReportTest, throttleReadOfThisController_isNotReadAgain)
{
    ASSERT_EQ(Read().outcome, ReportReading::Outcome::Done);
    sim.ClearTranscript();

    ASSERT_EQ(Read().outcome, ReportReading::Outcome::Done);

    EXPECT_EQ(FlashReads(), 0u);
}

TEST_F(ReadForReportTest, controllerSwappedSinceTheLastRead_showsOnlyTheNewControllersValues)
{
    ASSERT_EQ(Read().outcome, ReportReading::Outcome::Done);
    SwapController();
    sim.ClearTranscript();

    const ReportReading reading = Read();

    ASSERT_EQ(reading.outcome, ReportReading::Outcome::Done);
    EXPECT_EQ(reading.profile.serialNumber, "1193046");
    EXPECT_EQ(reading.profile.panel->stored[0], 33);
    // The table was read again: its read of the old controller is not used.
    EXPECT_GE(FlashReads(), kThrottleEntries);
    EXPECT_EQ(throttleOf->serialNumber, "1193046");
}

TEST_F(ReadForReportTest, silentController_givesNoReading)
{
    sim::Faults faults;
    faults.silentFrom = 1;
    sim.SetFaults(faults);

    const ReportReading reading = Read();

    EXPECT_NE(reading.outcome, ReportReading::Outcome::Done);
    EXPECT_FALSE(throttleOf);
}

} // namespace
} // namespace kestrum
