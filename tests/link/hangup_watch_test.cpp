#include "link/controller.h"
#include "sim/simulator.h"
#include "tests/support/fast_link.h"

#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

// The idle link notices its port hanging up by itself: the reader's idle
// wait watches the line, so an unplugged adapter shows within a second
// without a byte being sent. Runs under ThreadSanitizer with the link tests.
namespace kestrum {
namespace {

using namespace std::chrono_literals;

class HangUpWatchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        // Called on the link's reader thread.
        link.SetPortLostHandler([this] {
            {
                std::lock_guard lock(mutex);
                ++losses;
            }
            lost.notify_all();
        });
        ASSERT_TRUE(test::OpenFastLink(link, sim.PortPath(), 2));
    }

    bool WaitForLoss(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(mutex);
        return lost.wait_for(lock, timeout, [this] { return losses > 0; });
    }
    int Losses()
    {
        std::lock_guard lock(mutex);
        return losses;
    }

    sim::Simulator sim{sim::Options{.modelCode = 0, .pacing = false, .liveGauges = false}};
    // Before the link: its reader, which calls the handler, ends with it.
    std::mutex mutex;
    std::condition_variable lost;
    int losses = 0;
    CController link;
};

TEST_F(HangUpWatchTest, hangUpWhileIdle_seenWithinASecond_nothingSent)
{
    sim.HangUp();
    ASSERT_TRUE(WaitForLoss(1s));
    EXPECT_EQ(link.Health().state, LinkState::PortLost);
    EXPECT_TRUE(link.Port().HungUp());
    EXPECT_EQ(link.Health().total.transactions, 0u);
    EXPECT_TRUE(sim.Transcript().empty());
}

TEST_F(HangUpWatchTest, portClosedByUs_noLossReported)
{
    link.Port().Close();
    EXPECT_EQ(Losses(), 0);
    EXPECT_FALSE(link.Port().HungUp());
    EXPECT_EQ(link.Health().state, LinkState::NoPort);
}

TEST_F(HangUpWatchTest, removedDeviceOfOpenPort_reportedLost_otherNameIgnored)
{
    link.PortRemoved("COM99");
    EXPECT_EQ(Losses(), 0);
    link.PortRemoved(sim.PortPath());
    EXPECT_EQ(Losses(), 1);
    // Unnamed: a pseudo-terminal is never among the present serial ports.
    link.PortRemoved("");
    EXPECT_EQ(Losses(), 2);
    EXPECT_EQ(link.Health().state, LinkState::PortLost);
}

} // namespace
} // namespace kestrum
