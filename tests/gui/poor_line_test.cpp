// A line that answers only after resends shows as an amber "Poor line" with
// its resend rate, not as a green "Answering".
#include "gui_test_support.h"
#include "ui/control_id.h"
#include "ui/status_line.h"

#include <QPushButton>

namespace kestrum::test {
namespace {

constexpr int kRefresh = 1044;

TEST(PoorLineText, resendRate_percentAndCounts)
{
    EXPECT_EQ(CStatusLine::ResendRateText({35, 28}),
              "Resend rate 80 %: 28 of the last 35 transactions needed a resend");
    EXPECT_EQ(CStatusLine::ResendRateText({50, 6}),
              "Resend rate 12 %: 6 of the last 50 transactions needed a resend");
}

class PoorLineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        settings.SetFastTimings();
        // Two waits per send: a dropped answer costs 60 ms, not 150.
        settings.Set({{"ReadWriteTries", 2}});
        ASSERT_TRUE(sim.Started());
        frame = std::make_unique<CMainFrame>(App());
    }

    void RefreshControlPanel()
    {
        FindControl<QPushButton>(frame->Sheet().Page(0), kRefresh)->click();
        frame->StatusLine().Update();
    }

    TempSettings settings;
    MessageBoxRecorder boxes;
    SimulatorOnPort sim{sim::Options{.pacing = false, .liveGauges = false}};
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(PoorLineTest, everySecondAnswerDropped_poorLineWithRate)
{
    sim->SetFaults({.dropEvery = 2});
    RefreshControlPanel();

    EXPECT_EQ(frame->StatusLine().StateText(), "Poor line");
    EXPECT_TRUE(frame->StatusLine().StateToolTip().startsWith("Resend rate "));
    EXPECT_TRUE(boxes.requests.empty());
}

} // namespace
} // namespace kestrum::test
