// Start-up: the main window finds the controller before it is shown, by the
// pages' first refreshes, searching as often as the stored page requires.
#include "app/prop_sheet.h"
#include "gui_test_support.h"
#include "ui/control_id.h"
#include "ui/property_page.h"
#include "ui/status_line.h"

#include <QTabBar>
#include <algorithm>

namespace kestrum::test {
namespace {

class StartupTest : public ::testing::Test
{
protected:
    void SetUp() override { settings.SetFastTimings(); }
    TempSettings settings;
    MessageBoxRecorder boxes;
};

TEST_F(StartupTest, controllerOnListedPort_isFoundByTheFirstPageBeforeShowing)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());

    CMainFrame frame(App());

    EXPECT_FALSE(frame.isVisible());
    EXPECT_TRUE(frame.Controller().IsPortOpen());
    EXPECT_EQ(frame.Controller().Port().Name(), sim->PortPath());
    // With no port open the first probe sends nothing, so the first request
    // the controller sees is the probe on the listed port.
    const auto transcript = TranscriptBytes(*sim);
    ASSERT_FALSE(transcript.empty());
    EXPECT_EQ(transcript.front(), kProbe);
    EXPECT_TRUE(boxes.requests.empty());
    EXPECT_TRUE(frame.Sheet().Page(0)->WasActivated());
    EXPECT_FALSE(frame.Sheet().Page(1)->WasActivated());
    EXPECT_FALSE(frame.Sheet().Page(2)->WasActivated());
}

class StartupOnStoredPage : public StartupTest, public ::testing::WithParamInterface<int>
{};

TEST_P(StartupOnStoredPage, storedPage_readsAfterTheFirstPage_beginningWithAProbe)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    std::vector<std::vector<std::uint8_t>> firstPageOnly;
    {
        CMainFrame frame(App());
        firstPageOnly = TranscriptBytes(*sim);
    }
    sim->ClearTranscript();
    const int view = GetParam();
    settings.Set({{"View", view}});

    CMainFrame frame(App());

    EXPECT_EQ(frame.Sheet().currentIndex(), view);
    EXPECT_TRUE(frame.Sheet().Page(0)->WasActivated());
    EXPECT_TRUE(frame.Sheet().Page(view)->WasActivated());
    EXPECT_FALSE(frame.Sheet().Page(3 - view)->WasActivated());
    // The Control Panel page reads as on any start, then the stored page's
    // own read begins by probing the port the first page found.
    const auto transcript = TranscriptBytes(*sim);
    ASSERT_GT(transcript.size(), firstPageOnly.size());
    EXPECT_TRUE(std::equal(firstPageOnly.begin(), firstPageOnly.end(), transcript.begin()));
    EXPECT_EQ(transcript[firstPageOnly.size()], kProbe);
    EXPECT_TRUE(boxes.requests.empty());
}

INSTANTIATE_TEST_SUITE_P(Views, StartupOnStoredPage, ::testing::Values(1, 2));

struct NoControllerCase
{
    int storedView;
    int expectedPage;
    int expectedMessages;
};

class StartupWithoutController : public StartupTest,
                                 public ::testing::WithParamInterface<NoControllerCase>
{};

TEST_P(StartupWithoutController, searchesOncePerActivatedPage_andStillOpens)
{
    NoController absent;
    const NoControllerCase c = GetParam();
    settings.Set({{"View", c.storedView}});

    CMainFrame frame(App());

    EXPECT_EQ(frame.Sheet().currentIndex(), c.expectedPage);
    ASSERT_EQ(boxes.requests.size(), static_cast<std::size_t>(c.expectedMessages));
    for (const MessageBoxRequest& request : boxes.requests) {
        EXPECT_EQ(request.text, "Cannot locate Motor controller");
        EXPECT_EQ(request.caption, "Quorvel Kestrum");
        EXPECT_EQ(request.buttons, QMessageBox::Ok);
        EXPECT_EQ(request.icon, QMessageBox::Warning);
    }
    EXPECT_FALSE(frame.Controller().IsPortOpen());
    frame.show();
    EXPECT_TRUE(WaitUntil([&] { return frame.isVisible(); }));
}

INSTANTIATE_TEST_SUITE_P(StoredViews, StartupWithoutController,
                         ::testing::Values(NoControllerCase{0, 0, 1}, NoControllerCase{1, 1, 2},
                                           NoControllerCase{2, 2, 2}, NoControllerCase{3, 0, 1},
                                           NoControllerCase{-1, 0, 1}));

TEST_F(StartupTest, laterActivations_neverReadAgain)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    CMainFrame frame(App());
    std::size_t seen = sim->Transcript().size();
    ASSERT_GT(seen, 0u);

    // Page to select, and whether that selection is the page's first.
    const std::vector<std::pair<int, bool>> steps = {
        {1, true}, {0, false}, {1, false}, {2, true}, {0, false}, {2, false},
    };
    for (const auto& [page, first] : steps) {
        frame.Sheet().setCurrentIndex(page);
        const std::size_t now = sim->Transcript().size();
        EXPECT_EQ(now > seen, first) << "page " << page;
        seen = now;
    }
}

TEST_F(StartupTest, sheet_hasThePagesInOrderUnderTheMenu_andNoDialogButtons)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    CMainFrame frame(App());
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));

    const CPropSheet& sheet = frame.Sheet();
    ASSERT_EQ(sheet.count(), 3);
    EXPECT_EQ(sheet.tabText(0), "Control Panel");
    EXPECT_EQ(sheet.tabText(1), "Throttle Response");
    EXPECT_EQ(sheet.tabText(2), "Monitor");
    EXPECT_EQ(frame.windowTitle(), "Quorvel Kestrum");
    EXPECT_GE(sheet.geometry().top(), frame.menuWidget()->geometry().bottom());
    for (int id : {1, 2, 12321}) {
        EXPECT_EQ(kestrum::FindControl(&frame, id), nullptr) << id;
    }
}

TEST_F(StartupTest, window_cannotBeResizedOrMaximised)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    CMainFrame frame(App());
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));

    // Exactly the sheet between the menu and the status line: nothing around it.
    EXPECT_EQ(frame.width(), frame.Sheet().width());
    EXPECT_EQ(frame.height(),
              frame.menuWidget()->height() + frame.Sheet().height() + frame.StatusLine().height());
    EXPECT_GT(frame.StatusLine().height(), 0);
    EXPECT_EQ(frame.minimumSize(), frame.maximumSize());
    EXPECT_FALSE(frame.windowFlags() & Qt::WindowMaximizeButtonHint);
    const QSize before = frame.size();
    frame.resize(before + QSize(100, 100));
    EXPECT_EQ(frame.size(), before);
}

} // namespace
} // namespace kestrum::test
