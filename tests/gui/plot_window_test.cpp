// The plot window: live cycles handed over by the Monitor page, recorded
// logs, and its picture.
#include "gui_test_support.h"
#include "monitor/gui/monitor_page.h"
#include "monitor/gui/plot_chart.h"
#include "monitor/gui/plot_ids.h"
#include "monitor/gui/plot_placement.h"
#include "monitor/gui/plot_window.h"
#include "monitor/plot_time.h"
#include "settings/gui/control_page.h"
#include "support/temp_dir.h"
#include "ui/control_id.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QToolTip>
#include <QWheelEvent>
#include <cstdlib>
#include <fstream>
#include <optional>

namespace kestrum::test {
namespace {

using monitor::Gauge;

qsizetype Points(const CPlotWindow& plot, Gauge g)
{
    return plot.ChartOf(g)->PointCount(g);
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

class PlotWindowTest : public ::testing::Test
{
protected:
    TempSettings settings;
    MessageBoxRecorder boxes;
    TempDir dir;
};

TEST_F(PlotWindowTest, polledCycles_putPointsOnThePolledSeriesOnly)
{
    CPlotWindow plot;
    plot.show();
    const double t0 = monitor::CivilNow();
    const char* flags[] = {"0x00", "0x0A", "0x0A"};
    for (int i = 0; i < 3; ++i)
        plot.AddCycle(t0 + i, {"50", "", "52.6", "", "", flags[i]});
    ASSERT_TRUE(WaitUntil([&] { return Points(plot, Gauge::Throttle) == 3; }));
    EXPECT_EQ(Points(plot, Gauge::Voltage), 3);
    for (Gauge g : {Gauge::Temperature, Gauge::OutputCurrent, Gauge::BatteryCurrent})
        EXPECT_EQ(Points(plot, g), 0) << monitor::Info(g).label;
    EXPECT_EQ(plot.FlagsChart()->MarkerCount(), 1); // where 0x0A came up
}

TEST_F(PlotWindowTest, aCycleAfterAStopAndARestart_startsANewLine)
{
    SimulatorOnPort sim{sim::Options{.liveGauges = false}};
    ASSERT_TRUE(sim.Started());
    settings.SetFastTimings();
    CMainFrame frame(App());
    auto* page = frame.findChild<CMonitorPage*>();
    ASSERT_NE(page, nullptr);
    FindControl<QRadioButton>(page, 1088)->click(); // Continuous
    FindControl<QCheckBox>(page, 1061)->click();    // Battery Voltage
    FindControl<QPushButton>(page, plot_ids::kPlotButton)->click();
    auto* plot = page->findChild<CPlotWindow*>();
    ASSERT_NE(plot, nullptr);
    ASSERT_TRUE(plot->isVisible());
    auto* start = FindControl<QPushButton>(page, 1055);
    const auto runs = [&] {
        std::size_t count = 0;
        for (const auto& s : plot->Shown().Samples())
            count += s.startsRun ? 1 : 0;
        return count;
    };
    for (int run = 1; run <= 2; ++run) {
        start->click();
        ASSERT_TRUE(WaitUntil([&] { return runs() == static_cast<std::size_t>(run); }));
        start->click();
        ASSERT_TRUE(WaitUntil([&] { return !page->IsPolling(); }));
    }
    ASSERT_TRUE(
        WaitUntil([&] { return plot->ChartOf(Gauge::Voltage)->LineCount(Gauge::Voltage) == 2; }));
    EXPECT_EQ(Points(*plot, Gauge::Throttle), 0);
    frame.close();
    EXPECT_FALSE(plot->isVisible()) << "it goes with the main window";
}

TEST_F(PlotWindowTest, altPOnTheMonitorPage_opensThePlot)
{
    SimulatorOnPort sim{sim::Options{.liveGauges = false}};
    ASSERT_TRUE(sim.Started());
    settings.SetFastTimings();
    CMainFrame frame(App());
    frame.Sheet().setCurrentIndex(2); // Monitor
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    auto* page = frame.findChild<CMonitorPage*>();
    auto* selectAll = FindControl<QWidget>(page, 1085);
    selectAll->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == selectAll; }));
    QTest::keyClick(selectAll, Qt::Key_P, Qt::AltModifier);
    // The key presses the button as a click would be seen, a moment later.
    EXPECT_TRUE(WaitUntil([&] {
        const auto* plot = page->findChild<CPlotWindow*>();
        return plot != nullptr && plot->isVisible();
    }));
}

TEST_F(PlotWindowTest, aRecordedLog_showsItsRowsAndTellsTheSkippedLines)
{
    const std::string path = dir.File("drive.log");
    WriteText(path, std::string(monitor::kCsvHeader) + "\r\n" +
                        "06/15/08 14:03:27.045  50,47.1,,250.0,125.5,0x0A\r\n" + "garbage\r\n" +
                        "06/15/08 14:03:28.045  60,47.2,,240.0,144.0,0x00\r\n" +
                        "06/15/08 14:03:29.045  70,47.3,,230.0,161.0,0x00\r\n06/15/0");
    CPlotWindow plot;
    plot.show();
    plot.OpenLog(QString::fromStdString(path));
    ASSERT_TRUE(WaitUntil([&] { return !plot.Loading(); }));
    EXPECT_TRUE(boxes.requests.empty());
    for (Gauge g :
         {Gauge::Throttle, Gauge::Temperature, Gauge::OutputCurrent, Gauge::BatteryCurrent})
        EXPECT_EQ(Points(plot, g), 3) << monitor::Info(g).label;
    EXPECT_EQ(Points(plot, Gauge::Voltage), 0);
    EXPECT_EQ(plot.FlagsChart()->MarkerCount(), 2);
    const QString status = FindControl<QLabel>(&plot, plot_ids::kStatus)->text();
    EXPECT_TRUE(status.contains(QStringLiteral("lines skipped: 2, the first at line 3")))
        << status.toStdString();
    FindControl<QPushButton>(&plot, plot_ids::kLive)->click();
    EXPECT_EQ(Points(plot, Gauge::Throttle), 0);
}

TEST_F(PlotWindowTest, aFileThatIsNoLogOrCannotBeRead_getsOneMessage)
{
    const std::string notALog = dir.File("notes.txt");
    WriteText(notALog, "shopping list\r\n");
    const struct
    {
        std::string path;
        QString message;
    } cases[] = {
        {notALog, QString::fromStdString(notALog) + " is not a Monitor log"},
        {dir.File("absent.log"),
         QString::fromStdString(dir.File("absent.log")) + " was not found."},
    };
    for (const auto& c : cases) {
        boxes.requests.clear();
        CPlotWindow plot;
        plot.OpenLog(QString::fromStdString(c.path));
        ASSERT_TRUE(WaitUntil([&] { return !plot.Loading(); }));
        ASSERT_EQ(boxes.requests.size(), 1u) << c.path;
        EXPECT_TRUE(boxes.requests[0].text.startsWith(c.message))
            << boxes.requests[0].text.toStdString();
    }
}

TEST_F(PlotWindowTest, SaveAsPngWritesAPictureOfTheWindow)
{
    CPlotWindow plot;
    plot.resize(820, 640);
    plot.show();
    const std::string path = dir.File("plot.png");
    plot.chooseImagePath = [&] { return QString::fromStdString(path); };
    FindControl<QPushButton>(&plot, plot_ids::kSavePng)->click();
    const QImage image(QString::fromStdString(path));
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), plot.size());
    EXPECT_TRUE(boxes.requests.empty());

    const QString nowhere = QString::fromStdString(dir.File("absent/plot.png"));
    EXPECT_FALSE(plot.SavePng(nowhere));
    EXPECT_EQ(boxes.Texts(), QStringList{nowhere + " was not found."});
}

TEST_F(PlotWindowTest, keys_zoomOrPanAndPauseWhileEndFollowsAgain)
{
    CPlotWindow plot;
    plot.show();
    plot.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&plot));
    auto* pause = FindControl<QPushButton>(&plot, plot_ids::kPause);
    for (Qt::Key key : {Qt::Key_Minus, Qt::Key_Equal, Qt::Key_Left, Qt::Key_Right}) {
        QTest::keyClick(&plot, key);
        EXPECT_TRUE(pause->isChecked()) << key;
        QTest::keyClick(&plot, Qt::Key_End);
        EXPECT_FALSE(pause->isChecked()) << key;
    }
}

TEST_F(PlotWindowTest, KeepsItsSizeAndWindowBetweenOpenings)
{
    {
        CPlotWindow plot;
        plot.show();
        plot.resize(700, 500);
        FindControl<QComboBox>(&plot, plot_ids::kSpan)->setCurrentIndex(3); // 60 minutes
        plot.close();
    }
    CPlotWindow again;
    EXPECT_EQ(again.size(), QSize(700, 500));
    EXPECT_EQ(FindControl<QComboBox>(&again, plot_ids::kSpan)->currentText(), "60 minutes");
}

TEST_F(PlotWindowTest, OpensWithinTheScreensAvailableArea_WhateverWasStored)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    // The offscreen screen, 800 x 600, is smaller than the first size.
    const struct
    {
        const char* name;
        std::optional<QPoint> corner; // of the frame
        std::optional<QSize> size;    // inside
    } cases[] = {
        {"first opening", std::nullopt, std::nullopt},
        {"larger than the screen, no place", std::nullopt, area.size() * 2},
        {"larger than the screen at its corner", area.topLeft(), area.size() + QSize(300, 300)},
        {"overhanging the bottom right", area.bottomRight() - QPoint(150, 120), area.size() / 2},
    };
    for (const auto& c : cases) {
        QSettings store;
        store.remove(QStringLiteral("Plot"));
        store.beginGroup(QStringLiteral("Plot"));
        if (c.corner) {
            store.setValue(QStringLiteral("Left"), c.corner->x());
            store.setValue(QStringLiteral("Top"), c.corner->y());
        }
        if (c.size) {
            store.setValue(QStringLiteral("Width"), c.size->width());
            store.setValue(QStringLiteral("Height"), c.size->height());
        }
        store.endGroup();
        store.sync();
        CPlotWindow plot;
        plot.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&plot)) << c.name;
        const int title = plot.style()->pixelMetric(QStyle::PM_TitleBarHeight);
        const QRect frame(plot.pos(), plot.size() + QSize(0, title));
        EXPECT_TRUE(area.contains(frame)) << c.name << ": " << frame.x() << "," << frame.y() << " "
                                          << frame.width() << "x" << frame.height();
    }
}

TEST(PlotPlacement, FitInside_MovesAndShrinksOnlyAsNeeded)
{
    const QRect screen(0, 0, 1366, 728); // 1366 x 768 less a panel
    const struct
    {
        QRect frame;
        QRect fitted;
    } cases[] = {
        {{100, 50, 900, 730}, {100, 0, 900, 728}},    // too tall: shrunk, moved up
        {{700, 300, 900, 400}, {466, 300, 900, 400}}, // over the right edge: moved in
        {{-50, -20, 400, 300}, {0, 0, 400, 300}},     // above and left: moved in
        {{10, 10, 2000, 1000}, {0, 0, 1366, 728}},    // larger both ways: the screen
        {{200, 100, 640, 480}, {200, 100, 640, 480}}, // inside: left alone
    };
    for (const auto& c : cases)
        EXPECT_EQ(plot_placement::FitInside(c.frame, screen), c.fitted) << c.frame.x();
}

TEST_F(PlotWindowTest, openedAfterPolling_showsWhatWasPolledBefore)
{
    SimulatorOnPort sim{sim::Options{.liveGauges = false}};
    ASSERT_TRUE(sim.Started());
    settings.SetFastTimings();
    CMainFrame frame(App());
    auto* page = frame.findChild<CMonitorPage*>();
    ASSERT_NE(page, nullptr);
    FindControl<QRadioButton>(page, 1088)->click(); // Continuous
    FindControl<QCheckBox>(page, 1061)->click();    // Battery Voltage
    sim->SetRam(0x39, 0xFF);                        // raw 1023: 105.0 V
    sim->SetRam(0x3A, 0x03);
    auto* start = FindControl<QPushButton>(page, 1055);
    start->click();
    ASSERT_TRUE(WaitUntil([&] { return FindControl<QLabel>(page, 1051)->text() == "105.0"; }));
    start->click();
    ASSERT_TRUE(WaitUntil([&] { return !page->IsPolling(); }));
    FindControl<QPushButton>(page, plot_ids::kPlotButton)->click();
    auto* plot = page->findChild<CPlotWindow*>();
    ASSERT_NE(plot, nullptr);
    EXPECT_FALSE(plot->Shown().Samples().empty());
    EXPECT_TRUE(
        WaitUntil([&] { return plot->ChartOf(Gauge::Voltage)->PointCount(Gauge::Voltage) > 0; }));
}

TEST_F(PlotWindowTest, ZoomingInKeepsReadingsInView_ByKeyOrWheelOverAnEmptyStretch)
{
    for (const bool wheel : {false, true}) {
        CPlotWindow plot; // five minutes shown, twenty seconds polled
        plot.show();
        plot.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&plot));
        const double t0 = monitor::CivilNow() - 20;
        for (int i = 0; i < 20; ++i)
            plot.AddCycle(t0 + i, {"50", "", "", "", "", "0x00"});
        CPlotChart* chart = plot.ChartOf(Gauge::Throttle);
        for (int notch = 0; notch < 10; ++notch) {
            if (wheel) {
                // Near the left edge, where nothing was polled.
                const QPointF at(chart->width() * 0.15, chart->height() / 2.0);
                QWheelEvent event(at, chart->mapToGlobal(at), QPoint(), QPoint(0, 120),
                                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(chart, &event);
            } else {
                QTest::keyClick(&plot, Qt::Key_Plus);
            }
        }
        // In view, plus at most one beside it.
        EXPECT_TRUE(WaitUntil([&] { return Points(plot, Gauge::Throttle) >= 3; }))
            << (wheel ? "wheel" : "key") << ": " << Points(plot, Gauge::Throttle) << " points";
        if (!wheel) {
            EXPECT_EQ(Points(plot, Gauge::Throttle), 20) << "the newest stay in view";
        }
    }
}

TEST_F(PlotWindowTest, aRecordedLog_showsAllAndLiveGoesBackToTheChosenWindow)
{
    const std::string path = dir.File("drive.log");
    WriteText(path, std::string(monitor::kCsvHeader) + "\r\n" +
                        "06/15/08 14:03:27.045  50,47.1,,250.0,125.5,0x00\r\n" +
                        "06/15/08 15:03:28.045  60,47.2,,240.0,144.0,0x00\r\n");
    CPlotWindow plot;
    plot.show();
    auto* span = FindControl<QComboBox>(&plot, plot_ids::kSpan);
    span->setCurrentIndex(2); // 15 minutes
    plot.OpenLog(QString::fromStdString(path));
    ASSERT_TRUE(WaitUntil([&] { return !plot.Loading(); }));
    EXPECT_EQ(span->currentText(), QStringLiteral("All"));
    EXPECT_EQ(Points(plot, Gauge::Throttle), 2) << "an hour apart, both shown";
    FindControl<QPushButton>(&plot, plot_ids::kLive)->click();
    EXPECT_EQ(span->currentText(), QStringLiteral("15 minutes"));
}

TEST_F(PlotWindowTest, SaveAsPngAddsTheEndingAndNamesTheSerialNumberAndTimeRange)
{
    SimulatorOnPort sim{sim::Options{.liveGauges = false}};
    ASSERT_TRUE(sim.Started());
    settings.SetFastTimings();
    CMainFrame frame(App());
    auto* page = frame.findChild<CMonitorPage*>();
    const std::string serial = frame.findChild<CControlPage*>()->Panel().SerialNumberLabel();
    ASSERT_FALSE(serial.empty());
    FindControl<QPushButton>(page, plot_ids::kPlotButton)->click();
    auto* plot = page->findChild<CPlotWindow*>();
    ASSERT_NE(plot, nullptr);
    plot->AddCycle(monitor::CivilSeconds(2026, 12, 10, 14, 3, 27, 0), {"50", "", "", "", "", ""});
    plot->chooseImagePath = [&] { return QString::fromStdString(dir.File("drive")); };
    FindControl<QPushButton>(plot, plot_ids::kSavePng)->click();
    const QImage image(QString::fromStdString(dir.File("drive.png")));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.text(QStringLiteral("Serial number")),
              QStringLiteral("Serial number %1").arg(QString::fromStdString(serial)));
    // The last five minutes, the default window.
    EXPECT_EQ(image.text(QStringLiteral("Time range")),
              QStringLiteral("2026-12-10 13:58:27 to 14:03:27"));
    const auto* caption = FindControl<QLabel>(plot, plot_ids::kCaption);
    ASSERT_NE(caption, nullptr);
    EXPECT_TRUE(caption->text().contains(QString::fromStdString(serial)))
        << caption->text().toStdString();
}

// How many pixels within the plot area of `chart` are of the hue of
// `color`: the grid and frame are grey, the background white, and the
// antialiasing pales a line but keeps its hue.
int PixelsOf(CPlotChart* chart, QColor color)
{
    const QImage image = chart->grab().toImage();
    const QRect area = chart->PlotArea().toRect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int hueApart = std::abs(c.hsvHue() - color.hsvHue());
            if (c.hsvSaturation() > 60 && std::min(hueApart, 360 - hueApart) < 15)
                ++count;
        }
    }
    return count;
}

TEST_F(PlotWindowTest, ChartsPaintTheirLinesAndMarkers_AndOnlyWhatWasPolled)
{
    CPlotWindow plot;
    plot.resize(800, 560);
    plot.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&plot));
    const double t0 = monitor::CivilNow() - 60;
    for (int i = 0; i < 60; ++i)
        plot.AddCycle(t0 + i, {QString::number(i % 20 * 5).toStdString(), "", "", "", "",
                               i < 30 ? "0x00" : "0x0A"});
    ASSERT_TRUE(WaitUntil([&] { return Points(plot, Gauge::Throttle) == 60; }));
    const QColor throttleBlue(0x1f, 0x77, 0xb4);
    const QColor raisedRed(0xd6, 0x27, 0x28);
    EXPECT_GT(PixelsOf(plot.ChartOf(Gauge::Throttle), throttleBlue), 100) << "the line";
    EXPECT_GT(PixelsOf(plot.FlagsChart(), raisedRed), 30) << "the marker";
    const QColor voltageGreen(0x2c, 0xa0, 0x2c);
    EXPECT_EQ(PixelsOf(plot.ChartOf(Gauge::Voltage), voltageGreen), 0) << "not polled";
}

TEST_F(PlotWindowTest, HoveringAFlagMarkerTellsItsValueAndTime)
{
    CPlotWindow plot;
    plot.resize(800, 560);
    plot.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&plot));
    const double t0 = monitor::CivilSeconds(2026, 12, 10, 14, 3, 0, 0);
    for (int i = 0; i < 20; ++i)
        plot.AddCycle(t0 + i, {"50", "", "", "", "", i < 10 ? "0x00" : "0x0A"});
    ASSERT_TRUE(WaitUntil([&] { return plot.FlagsChart()->MarkerCount() == 1; }));
    CPlotChart* flags = plot.FlagsChart();
    const QRectF area = flags->PlotArea();
    const double y = area.bottom() - area.height() / 2;
    std::optional<QPoint> over;
    for (int x = static_cast<int>(area.left()); x < area.right() && !over; ++x) {
        if (!flags->FlagTipAt(QPointF(x, y)).isEmpty())
            over = QPoint(x, static_cast<int>(y));
    }
    ASSERT_TRUE(over.has_value());
    EXPECT_TRUE(flags->FlagTipAt(QPointF(over->x(), y - 20)).isEmpty()) << "off the row";
    QTest::mouseMove(flags, *over);
    EXPECT_TRUE(WaitUntil([] { return QToolTip::isVisible(); }));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Error Flags 0x0A at 14:03:10.000"));
}

} // namespace
} // namespace kestrum::test
