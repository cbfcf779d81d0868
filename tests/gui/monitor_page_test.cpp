// The Monitor page polling the simulated controller: the wire order of a
// cycle, the end of polling on silence, a failing log, and closing mid-poll.
#include "app/main_frame.h"
#include "gui_test_support.h"
#include "monitor/gauges.h"
#include "monitor/gui/monitor_page.h"
#include "support/temp_dir.h"
#include "ui/control_id.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
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
constexpr int kMonitorPage = 2;

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

TEST_F(MonitorPageTest, eachCycle_readsTheGaugesInWireOrder)
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

TEST_F(MonitorPageTest, silentController_givesOneMessageAndEndsPolling)
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

TEST_F(MonitorPageTest, uncheckingTheLastGauge_stopsPolling)
{
    auto* flags = FindControl<QCheckBox>(page, kErrorFlagsBox);
    flags->click();
    Click(kStart);
    ASSERT_TRUE(Polling());
    flags->click();
    ASSERT_TRUE(WaitUntil([&] { return !Polling(); }));
    EXPECT_FALSE(Button(kStart)->isEnabled());
}

TEST_F(MonitorPageTest, unwritableLog_isSwitchedOffWithOneMessageWhilePollingGoesOn)
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

TEST_F(MonitorPageTest, closingTheWindowWhilePollingAtOneMinute_stopsAtOnceAndSavesSettings)
{
    frame->Sheet().setCurrentIndex(kMonitorPage);
    FindControl<QRadioButton>(page, 1093)->click();
    FindControl<QCheckBox>(page, kErrorFlagsBox)->click();
    Click(kStart);
    ASSERT_TRUE(sim->WaitForRequests(1, std::chrono::seconds(5)));
    const auto before = std::chrono::steady_clock::now();
    frame->close();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    EXPECT_FALSE(Polling());
    EXPECT_EQ(Button(kStart)->text(), "St&art");
    EXPECT_EQ(settings.Get(QStringLiteral("View")).toInt(), kMonitorPage);
}

TEST_F(MonitorPageTest, firstActivation_locatesThenReadsTheGaugesInRefreshOrder)
{
    sim->SetRam(0x2C, 0x8F); // 655 = 47.1 degrees
    sim->SetRam(0x2D, 0x02);
    frame->Sheet().setCurrentIndex(kMonitorPage);
    std::vector<std::uint8_t> ramReads;
    for (const auto& request : sim->Transcript()) {
        if (request[1] == 4)
            ramReads.push_back(request[2]);
    }
    EXPECT_EQ(ramReads, (std::vector<std::uint8_t>{0x2C, 0x39, 0x3B, 0x20, 0x60}));
    EXPECT_NE(sim->Transcript().front()[1], 4) << "the probe comes first";
    EXPECT_EQ(FindControl<QLabel>(page, 1048)->text(), "47.1");
    // A later activation does not read again.
    frame->Sheet().setCurrentIndex(0);
    sim->ClearTranscript();
    frame->Sheet().setCurrentIndex(kMonitorPage);
    EXPECT_TRUE(sim->Transcript().empty());
}

TEST_F(MonitorPageTest, refresh_sitsInTheGaugesGroupAndNoControlsOverlap)
{
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    frame->Sheet().setCurrentIndex(kMonitorPage);
    auto* gauges = qobject_cast<QGroupBox*>(Button(kRefresh)->parentWidget());
    ASSERT_NE(gauges, nullptr);
    EXPECT_EQ(gauges->title(), "Gauges");
    QList<QWidget*> controls;
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QGroupBox*>(w))
            controls.append(w);
    }
    for (QWidget* a : controls) {
        const QRect ra(a->mapTo(page, QPoint(0, 0)), a->size());
        EXPECT_TRUE(page->rect().contains(ra)) << a->objectName().toStdString();
        for (QWidget* b : controls) {
            if (a == b || a->isAncestorOf(b) || b->isAncestorOf(a))
                continue;
            const QRect rb(b->mapTo(page, QPoint(0, 0)), b->size());
            EXPECT_FALSE(ra.intersects(rb))
                << a->objectName().toStdString() << " / " << b->objectName().toStdString();
        }
    }
}

TEST_F(MonitorPageTest, values_areGreyedUntilTheyHaveBeenRead)
{
    const int valueIds[] = {1046, 1048, 1051, 1052, 1053, 1054};
    sim->SetFaults({.silent = true});
    frame->Sheet().setCurrentIndex(kMonitorPage); // the search finds nothing
    for (int id : valueIds)
        EXPECT_FALSE(FindControl<QLabel>(page, id)->isEnabled()) << id;

    // Polling one gauge lights up that gauge only.
    sim->SetFaults({});
    FindControl<QCheckBox>(page, kErrorFlagsBox)->click();
    Click(kStart);
    ASSERT_TRUE(WaitUntil([&] { return FindControl<QLabel>(page, 1054)->isEnabled(); }));
    Click(kStart);
    ASSERT_TRUE(WaitUntil([&] { return !Polling(); }));
    EXPECT_FALSE(FindControl<QLabel>(page, 1048)->isEnabled());

    Click(kRefresh);
    for (int id : valueIds)
        EXPECT_TRUE(FindControl<QLabel>(page, id)->isEnabled()) << id;
}

TEST_F(MonitorPageTest, interval_survivesAPageSwitchAndReachesTheWorker)
{
    frame->Sheet().setCurrentIndex(kMonitorPage);
    FindControl<QRadioButton>(page, 1090)->click(); // 5 Seconds
    frame->Sheet().setCurrentIndex(1);
    frame->Sheet().setCurrentIndex(kMonitorPage);
    EXPECT_TRUE(FindControl<QRadioButton>(page, 1090)->isChecked());
    EXPECT_FALSE(FindControl<QRadioButton>(page, 1089)->isChecked());
    FindControl<QCheckBox>(page, kErrorFlagsBox)->click();
    Click(kStart);
    EXPECT_EQ(page->PollingSettings().interval, std::chrono::milliseconds(5000));
}

TEST_F(MonitorPageTest, loggingOverAnExistingLog_movesItAsideAndStartsWithTheHeader)
{
    TempDir dir;
    const QString path = QString::fromStdString(dir.File("Monitor.log"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("previous drive\n");
    }
    page->chooseLogPath = [&] { return path; };
    FindControl<QCheckBox>(page, kErrorFlagsBox)->click();
    FindControl<QCheckBox>(page, kLog)->click();
    Click(kStart);
    ASSERT_TRUE(sim->WaitForRequests(1, std::chrono::seconds(5)));
    page->StopAndClose();

    QFile log(path);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0].trimmed(), QByteArray(kestrum::monitor::kCsvHeader));
    EXPECT_TRUE(lines[1].trimmed().endsWith(",,,,,0x00")) << lines[1].toStdString();
    const QStringList moved = QDir(QString::fromStdString(dir.Path().string()))
                                  .entryList({"Monitor.log2*.log"}, QDir::Files);
    ASSERT_EQ(moved.size(), 1);
    QFile aside(QString::fromStdString(dir.Path().string()) + "/" + moved[0]);
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), "previous drive\n");
}

// Keyboard: the page's own letters, the letter St&art and Select &All share,
// and Tab to the check box that has no letter.
class MonitorKeyboardTest : public MonitorPageTest
{
protected:
    void SetUp() override
    {
        MonitorPageTest::SetUp();
        frame->Sheet().setCurrentIndex(kMonitorPage);
        frame->show();
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    }
    void Focus(QWidget* widget)
    {
        widget->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == widget; }));
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::AltModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
};

TEST_F(MonitorKeyboardTest, altS_startsPollingRatherThanOpeningTheSettingsMenu)
{
    auto* flags = FindControl<QCheckBox>(page, kErrorFlagsBox);
    flags->click();
    Focus(flags);
    Key(Qt::Key_S);
    ASSERT_TRUE(WaitUntil([&] { return Polling(); }));
    EXPECT_EQ(Button(kStart)->text(), "St&op");
    Key(Qt::Key_O); // St&op
    ASSERT_TRUE(WaitUntil([&] { return !Polling(); }));
    EXPECT_EQ(Button(kStart)->text(), "St&art");
}

TEST_F(MonitorKeyboardTest, sharedLetter_movesTheFocusAndSpacePressesTheFocusedButton)
{
    auto* flags = FindControl<QCheckBox>(page, kErrorFlagsBox);
    flags->click();
    Click(kStart);
    Click(kStart);
    ASSERT_TRUE(WaitUntil([&] { return !Polling(); }));
    ASSERT_EQ(Button(kStart)->text(), "St&art");
    sim->ClearTranscript();

    Focus(flags);
    Key(Qt::Key_A);
    EXPECT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == Button(kStart); }));
    Key(Qt::Key_A);
    EXPECT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == Button(kSelectAll); }));
    Key(Qt::Key_A);
    EXPECT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == Button(kStart); }));
    EXPECT_FALSE(Polling()) << "moving the focus presses nothing";
    EXPECT_TRUE(sim->Transcript().empty());

    Key(Qt::Key_A);
    Key(Qt::Key_Space, Qt::NoModifier);
    EXPECT_TRUE(WaitUntil([&] { return FindControl<QCheckBox>(page, 1056)->isChecked(); }));
    EXPECT_FALSE(Button(kSelectAll)->isEnabled());
}

TEST_F(MonitorKeyboardTest, tabAndSpace_reachLogToFile)
{
    int asked = 0;
    page->chooseLogPath = [&] {
        ++asked;
        return QString(); // cancelled
    };
    Focus(Button(kSelectAll));
    Key(Qt::Key_Tab, Qt::NoModifier); // Clear All is disabled: nothing checked
    ASSERT_TRUE(WaitUntil(
        [&] { return QApplication::focusWidget() == FindControl<QCheckBox>(page, kLog); }));
    Key(Qt::Key_Space, Qt::NoModifier);
    EXPECT_TRUE(WaitUntil([&] { return asked == 1; }));
    EXPECT_FALSE(FindControl<QCheckBox>(page, kLog)->isChecked());
}

} // namespace
} // namespace kestrum::test
