// The Throttle Response page against the simulated controller: what a
// Refresh enables and checks, what Set writes and says, and how a silent
// controller is reported.
#include "app/main_frame.h"
#include "gui_test_support.h"
#include "throttle/throttle_tables.h"
#include "ui/control_id.h"
#include "ui/status_line.h"

#include <QPushButton>
#include <QRadioButton>
#include <chrono>
#include <vector>

namespace kestrum::test {
namespace {

constexpr int kThrottlePage = 1;
constexpr int kSet = 1043;
constexpr int kRefresh = 1044;
constexpr int kLinear = 1024;
constexpr int kSCurve = 1025;
constexpr int kCustom = 1028;
constexpr int kSensorIds[] = {1094, 1095, 1096, 1097, 1098, 1099, 1100, 1101};
constexpr int kCurveIds[] = {1024, 1025, 1026, 1027, 1028};
constexpr std::uint16_t kTableBase = 0x1400; // where the simulator keeps its table

class ThrottlePageTest : public ::testing::Test
{
protected:
    void Build(sim::Options options = {.liveGauges = false})
    {
        settings.SetFastTimings();
        sim.emplace(options);
        ASSERT_TRUE(sim->Started());
        frame = std::make_unique<CMainFrame>(App());
        boxes.requests.clear();
    }
    void LoadTable(const ThrottleTable& table)
    {
        for (int i = 0; i < 256; ++i)
            (*sim)->SetFlash(static_cast<std::uint16_t>(kTableBase + i),
                             static_cast<std::uint16_t>(0x3400 + table[i]));
    }
    ThrottleTable HeldTable()
    {
        ThrottleTable table{};
        for (int i = 0; i < 256; ++i)
            table[i] = static_cast<std::uint8_t>(
                (*sim)->Flash(static_cast<std::uint16_t>(kTableBase + i)));
        return table;
    }
    void Activate() { frame->Sheet().setCurrentIndex(kThrottlePage); }
    QWidget* Page() const { return frame->Sheet().widget(kThrottlePage); }
    template<class T = QRadioButton>
    T* Control(int id) const
    {
        return FindControl<T>(Page(), id);
    }
    std::vector<int> Enabled(std::initializer_list<int> ids) const
    {
        std::vector<int> on;
        for (int id : ids) {
            if (Control<QWidget>(id)->isEnabled())
                on.push_back(id);
        }
        return on;
    }
    std::vector<int> EnabledSensors() const
    {
        std::vector<int> on;
        for (int id : kSensorIds) {
            if (Control(id)->isEnabled())
                on.push_back(id);
        }
        return on;
    }
    bool SetEnabled() const { return Control<QPushButton>(kSet)->isEnabled(); }

    TempSettings settings;
    std::optional<SimulatorOnPort> sim;
    MessageBoxRecorder boxes;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(ThrottlePageTest, nothing_isEnabledBeforeARefreshHasReadTheController)
{
    Build();
    (*sim)->SetFaults({.silent = true});
    Activate();
    EXPECT_TRUE(EnabledSensors().empty());
    for (int id : kCurveIds)
        EXPECT_FALSE(Control(id)->isEnabled()) << id;
    EXPECT_FALSE(SetEnabled());
    ASSERT_FALSE(boxes.requests.empty()); // the search said it found nothing

    (*sim)->SetFaults({});
    Control<QPushButton>(kRefresh)->click();
    // The simulator's own table is no standard curve; sensor 255 = "0 - 5K Ohms".
    EXPECT_EQ(EnabledSensors().size(), 8u);
    EXPECT_TRUE(Control(kCustom)->isEnabled());
    EXPECT_TRUE(Control(kCustom)->isChecked());
    EXPECT_TRUE(Control(1095)->isChecked());
    EXPECT_TRUE(Control(kLinear)->isEnabled());
    EXPECT_FALSE(SetEnabled());
}

TEST_F(ThrottlePageTest, restrictedModel_enablesOnlyItsFourSensorTypes)
{
    Build({.modelCode = 100, .liveGauges = false});
    Activate();
    EXPECT_EQ(EnabledSensors(), (std::vector<int>{1095, 1096, 1099, 1100}));
}

TEST_F(ThrottlePageTest, choosingAndSettingACurve_writesItAndSaysSo)
{
    Build();
    LoadTable(kLinearTable);
    Activate();
    ASSERT_TRUE(Control(kLinear)->isChecked());
    EXPECT_FALSE(Control(kCustom)->isEnabled());
    EXPECT_FALSE(SetEnabled());

    Control(kSCurve)->click();
    EXPECT_TRUE(SetEnabled());
    Control(kLinear)->click();
    EXPECT_FALSE(SetEnabled());

    Control(kSCurve)->click();
    Control<QPushButton>(kSet)->click();
    EXPECT_EQ(HeldTable(), kSCurveTable);
    EXPECT_EQ((*sim)->Eeprom(22), 255);
    EXPECT_FALSE(SetEnabled());
    EXPECT_EQ(frame->StatusLine().ResultText(), "Throttle table written and verified");

    // Another sensor type alone: one EEPROM write, no table.
    Control(1094)->click();
    ASSERT_TRUE(SetEnabled());
    (*sim)->ClearTranscript();
    Control<QPushButton>(kSet)->click();
    EXPECT_EQ((*sim)->Eeprom(22), 3);
    // Who answers (four reads), then the write and its read-back.
    EXPECT_EQ((*sim)->Transcript().size(), 6u);
    EXPECT_EQ(frame->StatusLine().ResultText(), "Throttle sensor type written and verified");
    EXPECT_TRUE(boxes.requests.empty());
}

TEST_F(ThrottlePageTest, controllerSilentDuringRefresh_givesOneMessage)
{
    Build();
    (*sim)->SetFaults({.silentFrom = 10}); // after the probe and the EEPROM reads
    Activate();
    EXPECT_EQ(boxes.Texts(), QStringList{"Motor controller is not responding"});
    // The sensor type was read before the silence: it may be chosen.
    EXPECT_EQ(EnabledSensors().size(), 8u);
}

TEST_F(ThrottlePageTest, controllerSilentDuringTheTableWrite_leavesSetEnabledAndSaysPartly)
{
    Build();
    LoadTable(kLinearTable);
    Activate();
    Control(kSCurve)->click();
    (*sim)->SetFaults({.silentFrom = 40});
    Control<QPushButton>(kSet)->click();
    ASSERT_EQ(boxes.requests.size(), 1u);
    EXPECT_TRUE(boxes.requests[0].text.contains("only partly written"));
    EXPECT_EQ(frame->StatusLine().ResultText(), "Throttle table only partly written");
    EXPECT_TRUE(SetEnabled());
    EXPECT_NE(HeldTable(), kSCurveTable);
}

} // namespace
} // namespace kestrum::test
