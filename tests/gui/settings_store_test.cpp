// The settings kept between runs: timings, selected page and position.
#include "app/prop_sheet.h"
#include "app/settings_store.h"
#include "gui_test_support.h"
#include "link/comm_timings.h"
#include "ui/window_placement.h"

#include <QGuiApplication>
#include <QScreen>

namespace kestrum::test {
namespace {

class SettingsStoreTest : public ::testing::Test
{
protected:
    TempSettings settings;
    MessageBoxRecorder boxes;
};

TEST_F(SettingsStoreTest, freshStore_opensAtTheCorner_andWritesTheDefaultsOnClose)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    ASSERT_TRUE(settings.Names().isEmpty());
    {
        CMainFrame frame(App());
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        EXPECT_EQ(frame.pos(), QPoint(0, 0));
        EXPECT_EQ(frame.Sheet().currentIndex(), 0);
        frame.close();

        const std::vector<std::pair<QString, int>> expected = {
            {"WriteDelay", 20},  {"ReadWriteTries", 5},
            {"RetryDelay", 200}, {"ResetTries", 20},
            {"ResetDelay", 50},  {"View", 0},
            {"Left", 0},         {"Top", frame.ChromeHeight()},
        };
        for (const auto& [name, value] : expected) {
            EXPECT_EQ(settings.Get(name), QVariant(value).toString()) << qPrintable(name);
        }
        EXPECT_EQ(settings.Names().size(), static_cast<qsizetype>(expected.size()));
    }
    EXPECT_GT(settings.Get("Top").toInt(), 0);
}

TEST_F(SettingsStoreTest, selectedPageAndMovedWindow_comeBackAtTheNextStart)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    settings.SetFastTimings();
    int chrome = 0;
    {
        CMainFrame frame(App());
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        frame.Sheet().setCurrentIndex(2);
        frame.move(100, 50);
        ASSERT_TRUE(WaitUntil([&] { return frame.pos() == QPoint(100, 50); }));
        chrome = frame.ChromeHeight();
        frame.close();
    }
    EXPECT_EQ(settings.Get("View").toInt(), 2);
    EXPECT_EQ(settings.Get("Left").toInt(), 100);
    EXPECT_EQ(settings.Get("Top").toInt(), 50 + chrome);

    CMainFrame again(App());
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    EXPECT_EQ(again.Sheet().currentIndex(), 2);
    EXPECT_EQ(again.pos(), QPoint(100, 50));
}

TEST_F(SettingsStoreTest, minimisedAndRestored_sheetComesBack_closeKeepsTheLastNormalPosition)
{
    SimulatorOnPort sim;
    ASSERT_TRUE(sim.Started());
    settings.SetFastTimings();
    CMainFrame frame(App());
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    frame.move(120, 60);
    ASSERT_TRUE(WaitUntil([&] { return frame.pos() == QPoint(120, 60); }));

    frame.showMinimized();
    ASSERT_TRUE(WaitUntil([&] { return frame.isMinimized(); }));
    frame.showNormal();
    ASSERT_TRUE(WaitUntil([&] { return !frame.isMinimized() && frame.isVisible(); }));
    EXPECT_TRUE(frame.Sheet().isVisible());

    // Closed while minimised (from the task bar): the position stored is the
    // one the window had on the screen, whatever a minimised window reports.
    frame.showMinimized();
    ASSERT_TRUE(WaitUntil([&] { return frame.isMinimized(); }));
    frame.close();
    EXPECT_EQ(settings.Get("Left").toInt(), 120);
    EXPECT_EQ(settings.Get("Top").toInt(), 60 + frame.ChromeHeight());
}

// Values the Timings dialog accepts are used as stored; anything beyond it
// takes the default, so that one wild value cannot hang the start-up search
// (a retry delay of 4294967295 ms) or block the window for half an hour per
// read (100 attempts), and no reset count can leave an upgrade stranded in
// the bootloader (0 or fewer attempts).
TEST_F(SettingsStoreTest, storedTimings_inTheDialogsRange_areUsed_othersTakeTheirDefault)
{
    struct Case
    {
        const char* name;
        qint64 stored;
        qint64 loaded;
    } cases[] = {
        {"WriteDelay", 7, 7},
        {"WriteDelay", 10000, 10000},
        {"WriteDelay", 10001, 20},
        {"WriteDelay", -1, 20},
        {"ReadWriteTries", 0, 0},
        {"ReadWriteTries", 99, 99},
        {"ReadWriteTries", 100, 5},
        {"ReadWriteTries", 2147483647, 5},
        {"ReadWriteTries", -1, 5},
        {"RetryDelay", 0, 0},
        {"RetryDelay", 4294967295, 200},
        {"RetryDelay", -1, 200},
        {"RetryDelay", 3, 3},
        {"ResetTries", 1, 1},
        {"ResetTries", 99, 99},
        {"ResetTries", 0, 20},
        {"ResetTries", -1, 20},
        {"ResetTries", -4, 20},
        {"ResetTries", 100, 20},
        {"ResetTries", 2147483647, 20},
        {"ResetDelay", 0, 0},
        {"ResetDelay", 100000, 50},
    };
    for (const Case& c : cases) {
        QSettings store;
        store.remove(kSettingsGroup);
        store.sync();
        settings.Set({{c.name, c.stored}});
        store.beginGroup(kSettingsGroup);
        CommTimings timings;
        LoadTimings(store, timings);
        const std::map<QString, qint64> loaded = {{"WriteDelay", timings.writeDelay},
                                                  {"ReadWriteTries", timings.readWriteTries},
                                                  {"RetryDelay", timings.retryDelay},
                                                  {"ResetTries", timings.resetTries},
                                                  {"ResetDelay", timings.resetDelay}};
        EXPECT_EQ(loaded.at(c.name), c.loaded) << c.name << " = " << c.stored;
    }
}

// The defect this guards against: with a huge stored retry delay the first
// probe of the start-up search never ended.
TEST_F(SettingsStoreTest, hugeStoredRetryDelay_startUpSearchStillEndsAtOnce)
{
    NoController absent;
    settings.Set({{"RetryDelay", 4294967295LL}, {"ReadWriteTries", 2147483647}});
    CMainFrame frame(App());
    EXPECT_EQ(frame.Controller().Timings().retryDelay, 200u);
    EXPECT_EQ(frame.Controller().Timings().readWriteTries, 5);
    EXPECT_EQ(boxes.Texts(), QStringList{"Cannot locate Motor controller"});
}

TEST_F(SettingsStoreTest, timingsAndPlacement_roundTripThroughTheStore)
{
    CommTimings written;
    written.writeDelay = 10000; // the longest delay accepted
    written.readWriteTries = 0;
    written.retryDelay = 31;
    written.resetTries = 99;
    written.resetDelay = 0;
    {
        QSettings store;
        store.beginGroup(kSettingsGroup);
        SaveTimings(store, written);
        SavePlacement(store, {1, -200, 77});
    }
    QSettings store;
    store.beginGroup(kSettingsGroup);
    CommTimings read;
    LoadTimings(store, read);
    EXPECT_EQ(read.writeDelay, 10000u);
    EXPECT_EQ(read.readWriteTries, 0);
    EXPECT_EQ(read.retryDelay, 31u);
    EXPECT_EQ(read.resetTries, 99);
    EXPECT_EQ(read.resetDelay, 0u);
    const WindowPlacement placement = LoadPlacement(store, 40);
    EXPECT_EQ(placement.view, 1);
    EXPECT_EQ(placement.left, -200);
    EXPECT_EQ(placement.top, 77);
}

TEST_F(SettingsStoreTest, missingOrUnreadableValues_takeTheDefaults)
{
    settings.Set({{"RetryDelay", "soon"}, {"ReadWriteTries", 3}});
    QSettings store;
    store.beginGroup(kSettingsGroup);
    CommTimings read;
    read.writeDelay = 1;
    LoadTimings(store, read);
    EXPECT_EQ(read.writeDelay, 20u);
    EXPECT_EQ(read.readWriteTries, 3);
    EXPECT_EQ(read.retryDelay, 200u);
    EXPECT_EQ(read.resetTries, 20);
    EXPECT_EQ(read.resetDelay, 50u);
    const WindowPlacement placement = LoadPlacement(store, 42);
    EXPECT_EQ(placement.view, 0);
    EXPECT_EQ(placement.left, 0);
    EXPECT_EQ(placement.top, 42);
}

struct PlacementCase
{
    const char* name;
    std::int64_t left;
    std::int64_t top;
    bool keepsStoredPosition;
};

class OnScreenPlacement : public ::testing::TestWithParam<PlacementCase>
{};

TEST_P(OnScreenPlacement, titleBarOffEveryScreen_movesToThePrimary_elseStaysAsStored)
{
    // Two monitors side by side, the primary on the right; a 400 x 300
    // frame whose title bar is 30 rows high.
    const QList<QRect> screens = {QRect(-1280, 0, 1280, 1024), QRect(0, 0, 1920, 1080)};
    const QRect primary = screens[1];
    const PlacementCase c = GetParam();
    const QPoint expected = c.keepsStoredPosition
                                ? QPoint(static_cast<int>(c.left), static_cast<int>(c.top))
                                : primary.topLeft();
    EXPECT_EQ(PlaceOnScreens(c.left, c.top, QSize(400, 300), 30, screens, primary), expected);
}

constexpr std::int64_t kIntMax = 2147483647;
constexpr std::int64_t kIntMin = -kIntMax - 1;

INSTANTIATE_TEST_SUITE_P(
    Frames, OnScreenPlacement,
    ::testing::Values(PlacementCase{"onPrimary", 100, 50, true},
                      PlacementCase{"onSecondary", -1000, 200, true},
                      PlacementCase{"straddlingBoth", -200, 0, true},
                      PlacementCase{"mostlyOffRightEdge", 1900, 900, true},
                      PlacementCase{"titleBarAtTheBottomRow", 0, 1050, true},
                      PlacementCase{"titleBarHalfBelowTheBottom", 0, 1065, false},
                      PlacementCase{"rightOfEverything", 1920, 0, false},
                      PlacementCase{"belowEverything", 0, 1080, false},
                      PlacementCase{"titleBarAboveTheTop", 100, -10, false},
                      PlacementCase{"aboveEverything", 100, -300, false},
                      PlacementCase{"goneLeftMonitor", -3000, 10, false},
                      // Stored 32-bit extremes, some already shifted by the
                      // chrome height: nothing may wrap around onto a screen.
                      PlacementCase{"leftIntMax", kIntMax, 0, false},
                      PlacementCase{"leftIntMin", kIntMin, 0, false},
                      PlacementCase{"topIntMinMinusChrome", 0, kIntMin - 50, false},
                      PlacementCase{"topIntMax", 0, kIntMax, false},
                      PlacementCase{"rightEdgeWrapsInInt", kIntMax - 100, 10, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Whatever pair of 32-bit values is stored, the window opens with its title
// bar on the screen.
TEST_F(SettingsStoreTest, extremeStoredPosition_opensWithTheTitleBarOnTheScreen)
{
    NoController absent;
    settings.SetFastTimings();
    const QRect primary = QGuiApplication::primaryScreen()->availableGeometry();
    const std::pair<qint64, qint64> stored[] = {
        {kIntMax, 0}, {0, kIntMin}, {kIntMin, kIntMax}, {kIntMax, kIntMax}, {-1, -1}};
    for (const auto& [left, top] : stored) {
        settings.Set({{"Left", left}, {"Top", top}});
        CMainFrame frame(App());
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        EXPECT_TRUE(primary.contains(frame.frameGeometry().topLeft()))
            << left << ", " << top << " gave " << frame.frameGeometry().topLeft().x() << ", "
            << frame.frameGeometry().topLeft().y();
    }
}

TEST_F(SettingsStoreTest, storedPositionOffTheScreen_isPulledOntoThePrimaryScreen)
{
    NoController absent;
    settings.SetFastTimings();
    const QRect primary = QGuiApplication::primaryScreen()->availableGeometry();
    settings.Set({{"Left", primary.right() + 500}, {"Top", primary.bottom() + 500}});

    CMainFrame frame(App());
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));

    EXPECT_EQ(frame.pos(), primary.topLeft());
}

} // namespace
} // namespace kestrum::test
