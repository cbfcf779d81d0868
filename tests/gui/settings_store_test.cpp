// The settings kept between runs: timings, selected page and position.
#include "app/prop_sheet.h"
#include "app/settings_store.h"
#include "app/window_placement.h"
#include "gui_test_support.h"
#include "link/comm_timings.h"

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

TEST_F(SettingsStoreTest, storedTimings_areUsedAsTheyAre_withoutRangeTest)
{
    NoController absent;
    settings.Set({{"WriteDelay", 7},
                  {"ReadWriteTries", 150},
                  {"RetryDelay", 3},
                  {"ResetTries", -4},
                  {"ResetDelay", 0}});

    CMainFrame frame(App());

    CommTimings& timings = frame.Controller().Timings();
    EXPECT_EQ(timings.writeDelay, 7u);
    EXPECT_EQ(timings.readWriteTries, 150);
    EXPECT_EQ(timings.retryDelay, 3u);
    EXPECT_EQ(timings.resetTries, -4);
    EXPECT_EQ(timings.resetDelay, 0u);
}

TEST_F(SettingsStoreTest, timingsAndPlacement_roundTripThroughTheStore)
{
    CommTimings written;
    written.writeDelay = 4000000000u; // a full 32-bit unsigned value
    written.readWriteTries = -1;
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
    EXPECT_EQ(read.writeDelay, 4000000000u);
    EXPECT_EQ(read.readWriteTries, -1);
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
    QRect frame;
    bool keepsStoredPosition;
};

class OnScreenPlacement : public ::testing::TestWithParam<PlacementCase>
{};

TEST_P(OnScreenPlacement, windowOffEveryScreen_movesToThePrimary_elseStaysAsStored)
{
    // Two monitors side by side, the primary on the right.
    const QList<QRect> screens = {QRect(-1280, 0, 1280, 1024), QRect(0, 0, 1920, 1080)};
    const QRect primary = screens[1];
    const PlacementCase c = GetParam();
    const QPoint expected = c.keepsStoredPosition ? c.frame.topLeft() : primary.topLeft();
    EXPECT_EQ(PlaceOnScreens(c.frame, screens, primary), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, OnScreenPlacement,
    ::testing::Values(PlacementCase{"onPrimary", QRect(100, 50, 400, 300), true},
                      PlacementCase{"onSecondary", QRect(-1000, 200, 400, 300), true},
                      PlacementCase{"straddlingBoth", QRect(-200, 0, 400, 300), true},
                      PlacementCase{"mostlyOffRightEdge", QRect(1900, 900, 400, 300), true},
                      PlacementCase{"rightOfEverything", QRect(1920, 0, 400, 300), false},
                      PlacementCase{"belowEverything", QRect(0, 1080, 400, 300), false},
                      PlacementCase{"aboveEverything", QRect(100, -300, 400, 300), false},
                      PlacementCase{"goneLeftMonitor", QRect(-3000, 10, 400, 300), false}),
    [](const auto& info) { return std::string(info.param.name); });

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
