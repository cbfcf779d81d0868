// From cart to cart: the window follows the cable. Simulated controllers on
// real pseudo-terminals, reached through a pinned path that is a symbolic
// link, re-pointed as a replugged adapter comes back under its name.
#include "app/connection_watch.h"
#include "gui_test_support.h"
#include "settings/controller_check.h"
#include "settings/gui/control_page.h"
#include "sim/memory_image.h"
#include "ui/control_id.h"
#include "ui/status_line.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <cstdio>
#include <unistd.h>

namespace kestrum::test {
namespace {

namespace layout = sim::layout;

constexpr int kSerialNumber = 1083;
constexpr int kSet = 1043;
constexpr int kMaxCurrent = 1031;
constexpr int kNoticeMs = 1000; // a lost port shows within a second

Packet ReadE(std::uint8_t address)
{
    return MakeRequest(Command::ReadEeprom, address);
}

const std::vector<Packet> kIdentityReads = {ReadE(127), ReadE(48), ReadE(49), ReadE(50)};

class ConnectionWatchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        settings.SetFastTimings();
        ASSERT_TRUE(dir.isValid());
        first = StartController(0x01);
        PointLinkAt(*first);
    }

    // A controller of model 0 with serial number `serial`.
    std::unique_ptr<sim::Simulator> StartController(std::uint8_t serial)
    {
        auto controller = std::make_unique<sim::Simulator>(
            sim::Options{.modelCode = 0, .pacing = false, .liveGauges = false});
        EXPECT_TRUE(controller->Start());
        controller->SetEeprom(layout::kModelCode, 0);
        controller->SetEeprom(layout::kSerialNumber, serial);
        controller->SetEeprom(layout::kSerialNumber + 1, 0);
        controller->SetEeprom(layout::kSerialNumber + 2, 0);
        controller->SetEeprom(layout::kMaxCurrent, 90);
        return controller;
    }

    // As `ln -sfn`: a new link renamed over the pinned one.
    void PointLinkAt(const sim::Simulator& controller)
    {
        const std::string temporary = dir.filePath(".ttyCart.new").toStdString();
        ASSERT_EQ(::symlink(controller.PortPath().c_str(), temporary.c_str()), 0);
        ASSERT_EQ(std::rename(temporary.c_str(), pinned.c_str()), 0);
    }

    void Open()
    {
        frame = std::make_unique<CMainFrame>(App());
        page = frame->Sheet().Page(0);
        ASSERT_TRUE(frame->Connection().Watching());
    }

    QString Serial() { return FindControl<QLabel>(page, kSerialNumber)->text(); }
    QSlider* MaxCurrent() { return FindControl<QSlider>(page, kMaxCurrent); }
    QPushButton* Set() { return FindControl<QPushButton>(page, kSet); }

    // Hangs the first controller up and waits for the window to say so.
    void LoseFirst()
    {
        first->HangUp();
        ASSERT_TRUE(WaitUntil(
            [this] { return frame->StatusLine().StateText() == QStringLiteral("Port lost"); },
            kNoticeMs));
    }

    TempSettings settings;
    MessageBoxRecorder boxes;
    QTemporaryDir dir;
    std::string pinned = dir.filePath("ttyCart").toStdString();
    ScopedEnv ports{"KESTRUM_PORTS", pinned};
    std::unique_ptr<sim::Simulator> first;
    std::unique_ptr<CMainFrame> frame;
    CPropertyPage* page = nullptr;
};

TEST_F(ConnectionWatchTest, hangUpWhileIdle_portLostWithinASecond_valuesGreyed_noBoxNothingSent)
{
    Open();
    MaxCurrent()->setValue(50);
    ASSERT_TRUE(Set()->isEnabled());
    first->ClearTranscript();

    LoseFirst();

    EXPECT_FALSE(Set()->isEnabled());
    EXPECT_FALSE(MaxCurrent()->isEnabled());
    EXPECT_FALSE(FindControl<QLabel>(page, kSerialNumber)->isEnabled());
    EXPECT_FALSE(page->ShowsConnected());
    EXPECT_TRUE(boxes.requests.empty());
    EXPECT_TRUE(first->Transcript().empty());
}

TEST_F(ConnectionWatchTest, sameControllerBackOnPinnedLink_valuesKept_reconnectedWithoutReRead)
{
    Open();
    MaxCurrent()->setValue(50); // a change not yet set survives the loss
    LoseFirst();

    // The same controller (same model and serial number) on another line.
    auto again = StartController(0x01);
    PointLinkAt(*again);

    ASSERT_TRUE(WaitUntil([this] { return page->ShowsConnected(); }));
    EXPECT_EQ(frame->StatusLine().ResultText(), "Reconnected");
    EXPECT_EQ(MaxCurrent()->value(), 50);
    EXPECT_TRUE(Set()->isEnabled());
    // A probe found it and four reads said who it is; no page read it again.
    std::vector<Packet> expected = {ReadE(127)};
    expected.insert(expected.end(), kIdentityReads.begin(), kIdentityReads.end());
    EXPECT_EQ(again->Transcript(), expected);
    EXPECT_TRUE(boxes.requests.empty());
}

TEST_F(ConnectionWatchTest, anotherControllerOnPinnedLink_activePageReadsIt_othersWhenShown)
{
    Open();
    ASSERT_EQ(Serial(), "1");
    LoseFirst();

    auto other = StartController(0x02);
    PointLinkAt(*other);

    ASSERT_TRUE(WaitUntil([this] { return Serial() == "2"; }));
    EXPECT_TRUE(page->ShowsConnected());
    EXPECT_TRUE(frame->StatusLine().IdentityText().contains(QStringLiteral("serial 2")));
    EXPECT_EQ(MaxCurrent()->value(), 90);
    EXPECT_TRUE(boxes.requests.empty());
    // The other pages wait, greyed, to read it when shown.
    for (int i = 1; i < CPropSheet::kPageCount; ++i) {
        EXPECT_FALSE(frame->Sheet().Page(i)->WasActivated()) << i;
        EXPECT_FALSE(frame->Sheet().Page(i)->ShowsConnected()) << i;
    }
}

TEST_F(ConnectionWatchTest, memoryImageSwappedUnderOpenPort_setWritesNothing_pageShowsNewController)
{
    Open();
    MaxCurrent()->setValue(50);
    // Another cart's memory, loaded into the controller the port is open on:
    // no hang-up, as when a cable moves while the adapter stays plugged in.
    auto other = StartController(0x07);
    other->SetEeprom(layout::kMaxCurrent, 30);
    const std::string image = dir.filePath("other.img").toStdString();
    ASSERT_TRUE(other->SaveImage(image));
    ASSERT_TRUE(first->LoadImage(image));
    first->ClearTranscript();

    Set()->click();

    for (const Packet& request : first->Transcript())
        EXPECT_NE(request[1], static_cast<std::uint8_t>(Command::WriteEeprom));
    const std::vector<Packet> transcript = first->Transcript();
    ASSERT_GE(transcript.size(), 4u);
    EXPECT_EQ(std::vector<Packet>(transcript.begin(), transcript.begin() + 4), kIdentityReads);
    EXPECT_EQ(first->Eeprom(layout::kMaxCurrent), 30);
    EXPECT_EQ(Serial(), "7");
    EXPECT_EQ(MaxCurrent()->value(), 30);
    const ControllerKey found{0, {0x07, 0, 0}};
    EXPECT_EQ(boxes.Texts(), QStringList{QString::fromStdString(AnotherControllerMessage(found))});
}

TEST_F(ConnectionWatchTest, throttleSetOnSwappedController_nothingWritten_throttleReReadOthersLater)
{
    constexpr int kThrottlePage = 1;
    constexpr int kSCurve = 1025;
    Open();
    frame->Sheet().setCurrentIndex(kThrottlePage);
    QWidget* throttle = frame->Sheet().Page(kThrottlePage);
    FindControl<QRadioButton>(throttle, kSCurve)->click();
    QPushButton* throttleSet = FindControl<QPushButton>(throttle, kSet);
    ASSERT_TRUE(throttleSet->isEnabled());
    first->SetEeprom(layout::kSerialNumber, 0x08); // another cart behind the line
    first->ClearTranscript();

    throttleSet->click();

    for (const Packet& request : first->Transcript())
        EXPECT_NE(request[1], static_cast<std::uint8_t>(Command::WriteEeprom));
    const std::vector<Packet> transcript = first->Transcript();
    ASSERT_GT(transcript.size(), 4u); // the identity, then the page's read
    EXPECT_EQ(std::vector<Packet>(transcript.begin(), transcript.begin() + 4), kIdentityReads);
    const ControllerKey found{0, {0x08, 0, 0}};
    EXPECT_EQ(boxes.Texts(), QStringList{QString::fromStdString(AnotherControllerMessage(found))});
    EXPECT_FALSE(throttleSet->isEnabled());
    // The Control Panel still shows the first controller: it reads the new
    // one when shown again, and is greyed until then.
    EXPECT_FALSE(page->WasActivated());
    EXPECT_FALSE(page->ShowsConnected());
    frame->Sheet().setCurrentIndex(0);
    EXPECT_EQ(Serial(), "8");
    EXPECT_TRUE(page->ShowsConnected());
}

TEST_F(ConnectionWatchTest, silentControllerAtSet_notRespondingBox_onlyReadsSent)
{
    Open();
    MaxCurrent()->setValue(50);
    first->ClearTranscript();
    first->SetFaults({.silent = true});
    Set()->click();
    EXPECT_EQ(boxes.Texts(), QStringList{"Motor controller is not responding"});
    for (const Packet& request : first->Transcript())
        EXPECT_EQ(request[1], static_cast<std::uint8_t>(Command::ReadEeprom));
}

} // namespace
} // namespace kestrum::test
