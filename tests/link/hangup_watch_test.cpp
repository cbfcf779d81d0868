#include "link/controller.h"
#include "sim/simulator.h"
#include "tests/support/fast_link.h"
#include "tests/support/pty.h"

#include <chrono>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <mutex>

// The idle link notices its port hanging up by itself: the reader's idle
// wait watches the line, so an unplugged adapter shows within a second
// without a byte being sent. Runs under ThreadSanitizer with the link tests.
namespace kestrum {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kNoticeLimit = 1s;

// Counts the link's port-lost calls (made on its reader thread) and lets a
// test wait for one with a deadline.
class LostRecorder
{
public:
    void Attach(CController& link)
    {
        link.SetPortLostHandler([this] {
            {
                std::lock_guard lock(mutex_);
                ++calls_;
                when_ = Clock::now();
            }
            changed_.notify_all();
        });
    }
    bool WaitForCall(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [this] { return calls_ > 0; });
    }
    int Calls()
    {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    Clock::time_point When()
    {
        std::lock_guard lock(mutex_);
        return when_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int calls_ = 0;
    Clock::time_point when_{};
};

class HangUpWatchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        lost.Attach(link);
        ASSERT_TRUE(test::OpenFastLink(link, sim.PortPath(), 2));
    }

    sim::Simulator sim{sim::Options{.modelCode = 0, .pacing = false, .liveGauges = false}};
    // Before the link: the link's reader, which calls the recorder, ends
    // when the link is destroyed.
    LostRecorder lost;
    CController link;
};

TEST_F(HangUpWatchTest, hangUpWhileIdle_seenWithinASecond_nothingSent)
{
    const auto hungUp = Clock::now();
    sim.HangUp();
    ASSERT_TRUE(lost.WaitForCall(kNoticeLimit));
    EXPECT_LT(lost.When() - hungUp, kNoticeLimit);
    EXPECT_EQ(link.Health().state, LinkState::PortLost);
    EXPECT_TRUE(link.Port().HungUp());
    EXPECT_EQ(link.Health().total.transactions, 0u);
    EXPECT_TRUE(sim.Transcript().empty());
}

TEST_F(HangUpWatchTest, hangUpAfterTransactions_seenWhileIdle_stateLost)
{
    std::uint8_t byte = 0;
    ASSERT_TRUE(link.ReadEeprom(127, byte));
    ASSERT_EQ(link.Health().state, LinkState::Answering);
    sim.HangUp();
    ASSERT_TRUE(lost.WaitForCall(kNoticeLimit));
    EXPECT_EQ(link.Health().state, LinkState::PortLost);
    EXPECT_EQ(sim.Transcript().size(), 1u);
}

TEST_F(HangUpWatchTest, portClosedByUs_noLossReported)
{
    link.Port().Close();
    EXPECT_EQ(lost.Calls(), 0);
    EXPECT_FALSE(link.Port().HungUp());
    EXPECT_EQ(link.Health().state, LinkState::NoPort);
}

TEST_F(HangUpWatchTest, lostPortOpenedAgainElsewhere_notHungUp_answers)
{
    sim.HangUp();
    ASSERT_TRUE(lost.WaitForCall(kNoticeLimit));
    sim::Simulator next{sim::Options{.modelCode = 0, .pacing = false, .liveGauges = false}};
    ASSERT_TRUE(next.Start());
    ASSERT_TRUE(link.TryPorts({next.PortPath()}));
    EXPECT_FALSE(link.Port().HungUp());
    EXPECT_EQ(link.Health().state, LinkState::Answering);
    EXPECT_EQ(lost.Calls(), 1);
}

TEST_F(HangUpWatchTest, removedDeviceOfOpenPort_reportedLost_otherNameIgnored)
{
    link.PortRemoved("COM99-not-ours");
    EXPECT_EQ(lost.Calls(), 0);
    link.PortRemoved(sim.PortPath());
    EXPECT_EQ(lost.Calls(), 1);
    EXPECT_EQ(link.Health().state, LinkState::PortLost);
}

// The port alone: the idle wait ends with false and says it was the line.
TEST(SerialPortHangUp, masterClosedDuringWait_waitEnds_hungUp)
{
    test::PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    CSerialPort port;
    port.SetName(pty.SlavePath());
    ASSERT_TRUE(port.Open());
    auto wait = std::async(std::launch::async, [&port] { return port.WaitForWake(); });
    pty.CloseMaster();
    ASSERT_EQ(wait.wait_for(kNoticeLimit), std::future_status::ready);
    EXPECT_FALSE(wait.get());
    EXPECT_TRUE(port.HungUp());
}

TEST(SerialPortHangUp, wakeDuringWait_true_notHungUp)
{
    test::PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    CSerialPort port;
    port.SetName(pty.SlavePath());
    ASSERT_TRUE(port.Open());
    auto wait = std::async(std::launch::async, [&port] { return port.WaitForWake(); });
    port.WakeReader();
    ASSERT_EQ(wait.wait_for(kNoticeLimit), std::future_status::ready);
    EXPECT_TRUE(wait.get());
    EXPECT_FALSE(port.HungUp());
}

} // namespace
} // namespace kestrum
