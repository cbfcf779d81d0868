#include "tools/gui/progress_dlg.h"
#include "ui/control_id.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace {

QProgressBar* Bar(const CProgressDlg& dlg)
{
    return kestrum::FindControl<QProgressBar>(&dlg, 1006);
}

QPushButton* Cancel(const CProgressDlg& dlg)
{
    return kestrum::FindControl<QPushButton>(&dlg, 2);
}

// Counts the application's quit requests and keeps them from ending the
// test program.
class QuitCatcher : public QObject
{
public:
    QuitCatcher() { QCoreApplication::instance()->installEventFilter(this); }
    ~QuitCatcher() override { QCoreApplication::instance()->removeEventFilter(this); }
    int seen = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
            ++seen;
            return true;
        }
        return false;
    }
};

// Counts the events it receives.
class EventCounter : public QObject
{
public:
    int seen = 0;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User) {
            ++seen;
            return true;
        }
        return QObject::event(event);
    }
};

TEST(ProgressDlg, showsTextTitleAndLowerBound)
{
    QWidget mainWindow;
    mainWindow.show();
    CProgressDlg dlg("Reading Throttle Table...", 0, 256, &mainWindow);

    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.windowTitle(), "Quorvel Kestrum");
    EXPECT_EQ(kestrum::FindControl<QLabel>(&dlg, 1007)->text(), "Reading Throttle Table...");
    EXPECT_EQ(Bar(dlg)->minimum(), 0);
    EXPECT_EQ(Bar(dlg)->maximum(), 256);
    EXPECT_EQ(Bar(dlg)->value(), 0);
    EXPECT_FALSE(dlg.cancelled());
}

struct PosCase
{
    int pos;
    int value;
    const char* shown;
};

class ProgressDlgWideRange : public testing::TestWithParam<PosCase>
{};

// Bounds above 65535 are kept whole: a 16-bit cut would show 65536 as empty.
TEST_P(ProgressDlgWideRange, movesInProportion)
{
    QWidget mainWindow;
    CProgressDlg dlg("Writing FLASH memory...", 0, 100000, &mainWindow);
    dlg.SetPos(GetParam().pos);
    EXPECT_EQ(Bar(dlg)->maximum(), 100000);
    EXPECT_EQ(Bar(dlg)->value(), GetParam().value);
    EXPECT_EQ(Bar(dlg)->text(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(ZeroToHundredThousand, ProgressDlgWideRange,
                         testing::Values(PosCase{0, 0, "0%"}, PosCase{25000, 25000, "25%"},
                                         PosCase{65536, 65536, "65%"}, PosCase{99999, 99999, "99%"},
                                         PosCase{100000, 100000, "100%"},
                                         PosCase{100001, 100000, "100%"}, PosCase{-5, 0, "0%"}));

TEST(ProgressDlg, offsetRange_startsAtLowerBound)
{
    QWidget mainWindow;
    CProgressDlg dlg("Writing", 70000, 170000, &mainWindow);
    EXPECT_EQ(Bar(dlg)->value(), 70000);
    dlg.SetPos(120000);
    EXPECT_EQ(Bar(dlg)->text(), "50%");
}

TEST(ProgressDlg, cancelTwiceKeepsFlagAndWindow)
{
    QWidget mainWindow;
    mainWindow.show();
    CProgressDlg dlg("Writing", 0, 10, &mainWindow);

    ASSERT_TRUE(Cancel(dlg)->isEnabled());
    Cancel(dlg)->click();
    EXPECT_TRUE(dlg.cancelled());
    EXPECT_TRUE(dlg.isVisible());
    Cancel(dlg)->click();
    EXPECT_TRUE(dlg.cancelled());
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(mainWindow.isEnabled());
}

TEST(ProgressDlg, escapeAndClose_onlyCancel)
{
    QWidget mainWindow;
    {
        CProgressDlg dlg("Writing", 0, 10, &mainWindow);
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&dlg, &escape);
        EXPECT_TRUE(dlg.cancelled());
        EXPECT_TRUE(dlg.isVisible());
    }
    {
        CProgressDlg dlg("Writing", 0, 10, &mainWindow);
        EXPECT_FALSE(dlg.close());
        EXPECT_TRUE(dlg.cancelled());
        EXPECT_TRUE(dlg.isVisible());
    }
}

TEST(ProgressDlg, cancelClickDeliveredThroughPump)
{
    QWidget mainWindow;
    CProgressDlg dlg("Writing", 0, 10, &mainWindow);
    QMetaObject::invokeMethod(Cancel(dlg), &QPushButton::click, Qt::QueuedConnection);
    EXPECT_FALSE(dlg.cancelled());
    dlg.PumpMessages();
    EXPECT_TRUE(dlg.cancelled());
}

TEST(ProgressDlg, mainWindow_disabledWhileItExists)
{
    QWidget mainWindow;
    mainWindow.show();
    {
        CProgressDlg dlg("Writing", 0, 10, &mainWindow);
        EXPECT_FALSE(mainWindow.isEnabled());
        EXPECT_TRUE(dlg.isEnabled());
    }
    EXPECT_TRUE(mainWindow.isEnabled());
}

TEST(ProgressDlg, mainWindow_enabledAgainWhenRunThrows)
{
    QWidget mainWindow;
    mainWindow.show();
    const auto run = [&mainWindow] {
        CProgressDlg dlg("Writing", 0, 10, &mainWindow);
        dlg.SetPos(3);
        dlg.PumpMessages();
        throw std::runtime_error("controller silent");
    };
    EXPECT_THROW(run(), std::runtime_error);
    EXPECT_TRUE(mainWindow.isEnabled());
}

TEST(ProgressDlg, withoutWindow_findsApplicationMainWindow)
{
    QMainWindow mainWindow;
    mainWindow.show();
    auto dlg = std::make_unique<CProgressDlg>("Writing", 0, 10, nullptr);
    EXPECT_FALSE(mainWindow.isEnabled());
    dlg.reset();
    EXPECT_TRUE(mainWindow.isEnabled());
}

TEST(ProgressDlg, quit_stopsPumpingAndIsPassedOnAtTheEnd)
{
    QuitCatcher quits;
    EventCounter counter;
    QWidget mainWindow;
    {
        CProgressDlg dlg("Writing", 0, 10, &mainWindow);
        QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
        dlg.PumpMessages();
        EXPECT_EQ(quits.seen, 0) << "the quit must wait for the run to end";

        QCoreApplication::postEvent(&counter, new QEvent(QEvent::User));
        dlg.PumpMessages();
        EXPECT_EQ(counter.seen, 0) << "nothing is handled once quit was asked";
        EXPECT_FALSE(dlg.cancelled());
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(quits.seen, 1);
    EXPECT_EQ(counter.seen, 1);
}

TEST(ProgressDlg, pump_handlesWaitingEvents)
{
    EventCounter counter;
    QWidget mainWindow;
    CProgressDlg dlg("Writing", 0, 10, &mainWindow);
    QCoreApplication::postEvent(&counter, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&counter, new QEvent(QEvent::User));
    dlg.PumpMessages();
    EXPECT_EQ(counter.seen, 2);
}

} // namespace
