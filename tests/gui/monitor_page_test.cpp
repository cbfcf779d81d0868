// The Monitor page polling the simulated controller: the wire order of a
// cycle, the end of polling on silence, a failing log, and closing mid-poll.
#include "app/control_id.h"
#include "app/main_frame.h"
#include "gui_test_support.h"
#include "monitor/gui/monitor_page.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <chrono>

namespace kestrum::test {
namespace {

constexpr int kStart = 1055;
constexpr int kSelectAll = 1085;
constexpr int kRefresh = 1044;
constexpr int kLog = 1087;
constexpr int kErrorFlagsBox = 1067;

class MonitorPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        settings.SetFastTimings();
        ASSERT_TRUE(sim.Started());
        sim->SetLiveGauges(false);
        frame = std::make_unique<CMainFrame>(App());
        page = frame->findChild<CMonitorPage*>();
        ASSERT_NE(page, nullptr);
        sim->ClearTranscript();
    }
    void TearDown() override
    {
        if (page)
            page->StopAndClose();
    }

    QPushButton* Button(int id) { return FindControl<QPushButton>(page, id); }
    void Click(int id) { Button(id)->click(); }
    bool Polling() const { return page->IsPolling(); }

    TempSettings settings;
    SimulatorOnPort sim{sim::Options{.liveGauges = false}};
    MessageBoxRecorder boxes;
    std::unique_ptr<CMainFrame> frame;
    CMonitorPage* page = nullptr;
};

TEST_F(MonitorPageTest, EachCycleReadsTheGaugesInWireOrder)
{
    FindControl<QRadioButton>(page, 1088)->click(); // Continuous
    Click(kSelectAll);
    Click(kStart);
    EXPECT_EQ(Button(kStart)->text(), "St&op");
    EXPECT_FALSE(Button(kRefresh)->isEnabled());
    ASSERT_TRUE(sim->WaitForRequests(15, std::chrono::seconds(5)));
    Click(kStart);
    ASSERT_TRUE(WaitUntil([&] { return !Polling(); }));
    EXPECT_EQ(Button(kStart)->text(), "St&art");
    EXPECT_TRUE(Button(kRefresh)->isEnabled());
    const auto transcript = sim->Transcript();
    ASSERT_GE(transcript.size(), 15u);
    const std::uint8_t order[] = {0x2C, 0x39, 0x3B, 0x20, 0x60};
    for (std::size_t i = 0; i < 15; ++i)
        EXPECT_EQ(transcript[i][2], order[i % 5]) << i;
    EXPECT_TRUE(boxes.requests.empty());
}

TEST_F(MonitorPageTest, SilentControllerGivesOneMessageAndEndsPolling)
{
    FindControl<QRadioButton>(page, 1088)->click();
    FindControl<QCheckBox>(page, kErrorFlagsBox)->click();
    Click(kStart);
    ASSERT_TRUE(sim->WaitForRequests(1, std::chrono::seconds(5)));
    sim->SetFaults({.silent = true});
    ASSERT_TRUE(WaitUntil([&] { return !Polling(); }));
    EXPECT_EQ(boxes.Texts(), QStringList{"Motor controller is not responding"});
    EXPECT_EQ(Button(kStart)->text(), "St&art");
    EXPECT_TRUE(Button(kRefresh)->isEnabled());
}

TEST_F(MonitorPageTest, UncheckingTheLastGaugeStopsPolling)
{
    auto* flags = FindControl<QCheckBox>(page, kErrorFlagsBox);
    flags->click();
    Click(kStart);
    ASSERT_TRUE(Polling());
    flags->click();
    ASSERT_TRUE(WaitUntil([&] { return !Polling(); }));
    EXPECT_FALSE(Button(kStart)->isEnabled());
}

TEST_F(MonitorPageTest, UnwritableLogIsSwitchedOffWithOneMessageWhilePollingGoesOn)
{
    page->chooseLogPath = [] { return QStringLiteral("/dev/full"); };
    FindControl<QRadioButton>(page, 1088)->click();
    FindControl<QCheckBox>(page, kErrorFlagsBox)->click();
    auto* log = FindControl<QCheckBox>(page, kLog);
    log->click();
    Click(kStart);
    ASSERT_TRUE(WaitUntil([&] { return !boxes.requests.empty(); }));
    // The standard file-error text, naming the file.
    EXPECT_TRUE(boxes.requests[0].text.contains(QStringLiteral("/dev/full")))
        << boxes.requests[0].text.toStdString();
    EXPECT_FALSE(log->isChecked());
    const auto sent = sim->Transcript().size();
    ASSERT_TRUE(sim->WaitForRequests(sent + 3, std::chrono::seconds(5)));
    EXPECT_TRUE(Polling());
    EXPECT_EQ(boxes.requests.size(), 1u);
}

TEST_F(MonitorPageTest, ClosingWhilePollingAtOneMinuteReturnsAtOnce)
{
    FindControl<QRadioButton>(page, 1093)->click();
    FindControl<QCheckBox>(page, kErrorFlagsBox)->click();
    Click(kStart);
    ASSERT_TRUE(sim->WaitForRequests(1, std::chrono::seconds(5)));
    const auto before = std::chrono::steady_clock::now();
    frame->close();
    page->StopAndClose();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    EXPECT_FALSE(Polling());
}

} // namespace
} // namespace kestrum::test
