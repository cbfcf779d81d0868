// The status line: port, identity, link state, last answer, write results.
#include "gui_test_support.h"
#include "settings/gui/control_page.h"
#include "ui/control_id.h"
#include "ui/status_line.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace kestrum::test {
namespace {

constexpr int kSet = 1043;
constexpr int kRefresh = 1044;
constexpr int kModel = 1074;
constexpr int kSerialNumber = 1083;
constexpr int kTopSpeed = 1049;

class StatusLineTest : public ::testing::Test
{
protected:
    TempSettings settings;
    MessageBoxRecorder boxes;

    void SetUp() override { settings.SetFastTimings(); }
    static QWidget* ControlPage(CMainFrame& frame) { return frame.Sheet().Page(0); }
};

TEST_F(StatusLineTest, afterStartUp_namesThePortTheModelAndSerial_andTheLinkAnswers)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    CMainFrame frame(App());
    CStatusLine& status = frame.StatusLine();
    status.Update();

    EXPECT_EQ(status.PortText(), QString::fromStdString(sim->PortPath()));
    const QString model = FindControl<QLabel>(ControlPage(frame), kModel)->text();
    const QString serial = FindControl<QLabel>(ControlPage(frame), kSerialNumber)->text();
    ASSERT_FALSE(model.isEmpty());
    EXPECT_EQ(status.IdentityText(), model + QStringLiteral(", serial ") + serial);
    EXPECT_EQ(status.StateText(), QStringLiteral("Answering"));
    EXPECT_TRUE(status.toolTip().contains(QStringLiteral("Transactions: ")));
}

TEST_F(StatusLineTest, noControllerAnywhere_saysSo_andClaimsNoIdentity)
{
    NoController absent;
    CMainFrame frame(App());
    CStatusLine& status = frame.StatusLine();
    status.Update();
    EXPECT_EQ(status.PortText(), QStringLiteral("No controller found"));
    EXPECT_EQ(status.StateText(), QStringLiteral("No port"));
    EXPECT_TRUE(status.IdentityText().isEmpty());
}

TEST_F(StatusLineTest, controllerFallsSilent_stateFollows_andASetSaysWhatItWrote)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    CMainFrame frame(App());
    CStatusLine& status = frame.StatusLine();
    QWidget* page = ControlPage(frame);

    QSlider* topSpeed = FindControl<QSlider>(page, kTopSpeed);
    topSpeed->setValue(topSpeed->value() == 0 ? 1 : 0);
    FindControl<QPushButton>(page, kSet)->click();
    EXPECT_EQ(status.ResultText(), QStringLiteral("1 setting written and verified"));

    sim->SetFaults({.silent = true});
    FindControl<QPushButton>(page, kRefresh)->click();
    status.Update();
    EXPECT_EQ(status.StateText(), QStringLiteral("Not responding"));
}

TEST_F(StatusLineTest, controllerGone_theIdentityGoesWithIt)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    CMainFrame frame(App());
    CStatusLine& status = frame.StatusLine();
    status.Update();
    ASSERT_FALSE(status.IdentityText().isEmpty());

    sim->Stop();
    FindControl<QPushButton>(ControlPage(frame), kRefresh)->click();
    status.Update();
    EXPECT_EQ(status.PortText(), QStringLiteral("No controller found"));
    EXPECT_TRUE(status.IdentityText().isEmpty());
}

TEST(StatusLineTexts, ageOfTheLastAnswer)
{
    using namespace std::chrono_literals;
    const auto now = std::chrono::steady_clock::now();
    LinkHealthSnapshot health;
    health.state = LinkState::Answering;
    EXPECT_EQ(CStatusLine::AgeText(health, now), QString()); // no answer yet
    const struct
    {
        std::chrono::milliseconds ago;
        const char* text;
    } cases[] = {{0ms, "last answer just now"},
                 {999ms, "last answer just now"},
                 {3s, "last answer 3 s ago"},
                 {119s, "last answer 119 s ago"},
                 {600s, "last answer 10 min ago"}};
    for (const auto& c : cases) {
        health.lastAnswer = now - c.ago;
        EXPECT_EQ(CStatusLine::AgeText(health, now), QString::fromLatin1(c.text)) << c.text;
    }
    health.state = LinkState::NoPort;
    EXPECT_EQ(CStatusLine::AgeText(health, now), QString());
}

TEST_F(StatusLineTest, aLongResult_neitherWidensTheWindowNorSitsBesideTheAge)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    CMainFrame frame(App());
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    CStatusLine& status = frame.StatusLine();
    status.Update();
    ASSERT_FALSE(status.AgeText().isEmpty());
    const QSize before = frame.size();

    status.ShowResult(QStringLiteral("Throttle table written and verified, and a good deal more"));
    status.Update();
    QApplication::processEvents();
    EXPECT_EQ(frame.size(), before);
    EXPECT_EQ(frame.width(), frame.Sheet().width());
    EXPECT_TRUE(status.AgeText().isEmpty());
}

} // namespace
} // namespace kestrum::test
