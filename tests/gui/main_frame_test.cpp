// The main window's menu: what is left after trimming, the enabling rule,
// and the commands of the shell.
#include "app/about_dlg.h"
#include "app/command_ids.h"
#include "gui_test_support.h"
#include "link/gui/program_dlg.h"
#include "ui/close_on_signal.h"
#include "ui/status_line.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <csignal>

namespace kestrum::test {
namespace {

using namespace kestrum::command;

class MainFrameTest : public ::testing::Test
{
protected:
    void SetUp() override { settings.SetFastTimings(); }

    static QList<QMenu*> Popups(const CMainFrame& frame)
    {
        QList<QMenu*> popups;
        for (QAction* action : frame.menuBar()->actions()) {
            popups.append(action->menu());
        }
        return popups;
    }

    // Opens `popup` as the user would, so its state is evaluated, and
    // returns the enabled state of each command by id.
    static std::map<int, bool> EnabledWhenOpened(QMenu& popup)
    {
        popup.popup(QPoint(0, 0));
        EXPECT_TRUE(WaitUntil([&] { return popup.isVisible(); }));
        std::map<int, bool> enabled;
        for (QAction* action : popup.actions()) {
            if (!action->isSeparator()) {
                enabled[action->objectName().toInt()] = action->isEnabled();
            }
        }
        popup.hide();
        return enabled;
    }

    TempSettings settings;
    MessageBoxRecorder boxes;
};

TEST_F(MainFrameTest, menus_areTrimmedToWhatTheUserMayChoose)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    CMainFrame frame(App());

    const QList<QMenu*> popups = Popups(frame);
    ASSERT_EQ(popups.size(), 3);
    const std::vector<std::pair<QString, QStringList>> expected = {
        {"&Settings", {"&Timings...", "", "&Exit"}},
        {"&Tools",
         {"Re&set", "&Upgrade...", "", "Write Error &Log...", "", "Sa&ve Profile...",
          "L&oad Profile...", "Service &History...", "Service &Report...", "Report &Names..."}},
        {"&Help", {"&About Kestrum"}},
    };
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(popups[i]->title(), expected[i].first);
        QStringList texts;
        for (QAction* action : popups[i]->actions()) {
            texts.append(action->isSeparator() ? QString() : action->text());
        }
        EXPECT_EQ(texts, expected[i].second) << i;
    }
}

TEST_F(MainFrameTest, trimmedCommands_stayWiredAndFindableById)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    CMainFrame frame(App());

    const std::vector<std::pair<int, QString>> commands = {
        {kTimings, "&Timings..."},
        {kExit, "&Exit"},
        {kReadFlash, "&Read FLASH..."},
        {kReadEeprom, "R&ead EEPROM..."},
        {kReadRam, "Re&ad RAM..."},
        {kWriteFlash, "&Write FLASH..."},
        {kWriteEeprom, "Wr&ite EEPROM..."},
        {kWriteRam, "Wri&te RAM..."},
        {kReset, "Re&set"},
        {kUpgrade, "&Upgrade..."},
        {kWriteErrorLog, "Write Error &Log..."},
        {kContents, "&Contents"},
        {kAbout, "&About Kestrum"},
    };
    for (const auto& [id, text] : commands) {
        QAction* action = frame.Command(id);
        ASSERT_NE(action, nullptr) << id;
        EXPECT_EQ(action->text(), text);
    }
    // The trimmed memory commands open the viewer (closed again here) and
    // "&Contents" does nothing; none touches the controller or asks the user.
    sim->ClearTranscript();
    for (int id :
         {kReadFlash, kReadEeprom, kReadRam, kWriteFlash, kWriteEeprom, kWriteRam, kContents}) {
        QString opened;
        QTimer::singleShot(0, [&opened] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                opened = modal->windowTitle();
                modal->close();
            }
        });
        frame.Command(id)->trigger();
        EXPECT_EQ(opened, id == kContents ? QString() : QStringLiteral("Memory Viewer")) << id;
        QApplication::processEvents(); // the timer of "&Contents", which opened nothing
    }
    EXPECT_TRUE(sim->Transcript().empty());
    EXPECT_TRUE(boxes.requests.empty());
}

struct EnablingCase
{
    const char* name;
    bool portOpen;
};

class MenuEnabling : public MainFrameTest, public ::testing::WithParamInterface<EnablingCase>
{};

TEST_P(MenuEnabling, portCommands_followTheOpenPort_everythingElseAlwaysEnabled)
{
    std::optional<SimulatorOnPort> sim;
    std::optional<NoController> absent;
    if (GetParam().portOpen) {
        sim.emplace();
        ASSERT_TRUE(sim->Started());
    } else {
        absent.emplace();
    }
    CMainFrame frame(App());
    ASSERT_EQ(frame.Controller().IsPortOpen(), GetParam().portOpen);

    std::map<int, bool> enabled;
    for (QMenu* popup : Popups(frame)) {
        enabled.merge(EnabledWhenOpened(*popup));
    }
    const bool open = GetParam().portOpen;
    const std::map<int, bool> expected = {
        {kTimings, true},
        {kExit, true},
        {kReset, true},
        {kUpgrade, open},
        {kWriteErrorLog, true},
        {kAbout, true},
        // The profile commands search for a controller as the pages do.
        {kSaveProfile, true},
        {kLoadProfile, true},
        {kServiceHistory, true},
        {kServiceReport, true},
        {kReportNames, true},
    };
    EXPECT_EQ(enabled, expected);
    // The trimmed memory commands follow the same rule.
    for (int id : {kReadFlash, kReadEeprom, kReadRam, kWriteFlash, kWriteEeprom, kWriteRam}) {
        EXPECT_EQ(frame.Command(id)->isEnabled(), open) << id;
    }
}

INSTANTIATE_TEST_SUITE_P(Port, MenuEnabling,
                         ::testing::Values(EnablingCase{"open", true},
                                           EnablingCase{"closed", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainFrameTest, menuState_isEvaluatedAgainEachTimeTheMenuOpens)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    CMainFrame frame(App());
    QMenu& tools = *Popups(frame)[1];
    ASSERT_TRUE(EnabledWhenOpened(tools).at(kUpgrade));

    frame.Controller().Port().Close();
    EXPECT_FALSE(EnabledWhenOpened(tools).at(kUpgrade));

    ASSERT_TRUE(frame.Controller().OpenLink());
    EXPECT_TRUE(EnabledWhenOpened(tools).at(kUpgrade));
}

TEST_F(MainFrameTest, reset_sendsTheResetRequest_andRestoresTheCursor)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    CMainFrame frame(App());
    sim->ClearTranscript();

    frame.Command(kReset)->trigger();

    ASSERT_TRUE(sim->WaitForRequests(1, std::chrono::seconds(2)));
    EXPECT_EQ(TranscriptBytes(*sim),
              (std::vector<std::vector<std::uint8_t>>{{0x5B, 0x05, 0x00, 0x00, 0x00, 0x00, 0xA0}}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(boxes.requests.empty());
    EXPECT_EQ(frame.StatusLine().ResultText(), QStringLiteral("Reset sent"));
}

TEST_F(MainFrameTest, reset_withoutController_showsNothing)
{
    NoController absent;
    CMainFrame frame(App());
    boxes.requests.clear();

    frame.Command(kReset)->trigger();

    EXPECT_TRUE(boxes.requests.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(frame.StatusLine().ResultText().isEmpty());
}

TEST_F(MainFrameTest, timings_opensTheTimingsDialogModallyOnTheLiveTimings)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    CMainFrame frame(App());
    frame.show();

    QString seen;
    bool modal = false;
    QTimer::singleShot(0, &frame, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (auto* timings = qobject_cast<CProgramDlg*>(dialog)) {
            seen = timings->windowTitle();
            modal = timings->isModal();
            timings->reject();
        } else if (dialog) {
            dialog->close();
        }
    });
    frame.Command(kTimings)->trigger();

    EXPECT_EQ(seen, "Communication Timings");
    EXPECT_TRUE(modal);
}

TEST_F(MainFrameTest, about_opensTheAboutBoxModally)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    CMainFrame frame(App());
    frame.show();

    QString seen;
    QTimer::singleShot(0, &frame, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (auto* about = qobject_cast<CAboutDlg*>(dialog)) {
            seen = about->windowTitle();
            about->accept();
        } else if (dialog) {
            dialog->close();
        }
    });
    frame.Command(kAbout)->trigger();

    EXPECT_EQ(seen, "About Kestrum");
}

enum class ClosePath
{
    ExitCommand,
    WindowClose,
    TerminationSignal,
    SignalDuringStartup
};

class CloseTest : public MainFrameTest, public ::testing::WithParamInterface<ClosePath>
{};

TEST_P(CloseTest, everyClosePath_savesTheSettings)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    if (GetParam() == ClosePath::SignalDuringStartup) {
        // Arrives while the window is still being built: kept, not fatal.
        InstallTerminationSignals();
        std::raise(SIGTERM);
    }
    CMainFrame frame(App());
    frame.Sheet().setCurrentIndex(1);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    ASSERT_FALSE(settings.Get("View").isValid());

    switch (GetParam()) {
    case ClosePath::ExitCommand:
        frame.Command(kExit)->trigger();
        break;
    case ClosePath::WindowClose:
        frame.close();
        break;
    case ClosePath::TerminationSignal:
        CloseOnTerminationSignals(frame);
        std::raise(SIGTERM);
        break;
    case ClosePath::SignalDuringStartup:
        CloseOnTerminationSignals(frame);
        break;
    }

    EXPECT_TRUE(WaitUntil([&] { return !frame.isVisible(); }));
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        std::signal(signal, SIG_DFL); // Ctrl+C must stop the test program again
    }
    EXPECT_EQ(settings.Get("View").toInt(), 1);
    EXPECT_EQ(settings.Get("RetryDelay").toInt(), 30);
}

INSTANTIATE_TEST_SUITE_P(Paths, CloseTest,
                         ::testing::Values(ClosePath::ExitCommand, ClosePath::WindowClose,
                                           ClosePath::TerminationSignal,
                                           ClosePath::SignalDuringStartup));

} // namespace
} // namespace kestrum::test
