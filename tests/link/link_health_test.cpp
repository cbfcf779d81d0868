#include "link/controller.h"
#include "sim/simulator.h"

#include <chrono>
#include <gtest/gtest.h>

// The link's counters and state against the simulator's faults.
namespace kestrum {
namespace {

using namespace std::chrono_literals;

class LinkHealthTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        link.Timings().readWriteTries = 2;
        link.Timings().retryDelay = 100; // waited out only where a fault asks for it
        link.Timings().writeDelay = 1;
        ASSERT_TRUE(link.TryPorts({sim.PortPath()}));
    }

    // The read that the probe of TryPorts already counted is left out.
    LinkCounters SinceOpen() const { return link.Health().sinceOpen; }
    std::uint8_t Read(std::uint8_t address)
    {
        std::uint8_t byte = 0;
        link.ReadEeprom(address, byte);
        return byte;
    }

    sim::Simulator sim{sim::Options{.liveGauges = false}};
    CController link;
};

struct FaultCase
{
    const char* name;
    sim::Faults faults;
    bool answered;
    LinkCounters expected; // for one read after the probe
};

TEST_F(LinkHealthTest, eachFault_isCountedAsWhatItIs)
{
    const FaultCase cases[] = {
        {"clean", {}, true, {1, 0, 0, 0, 0}},
        // A dropped answer: one send that timed out, one resend answered.
        {"droppedOnce", {.dropFirst = 1}, true, {1, 1, 1, 0, 0}},
        // A bad checksum is refused by the reader; the wait then times out.
        {"corruptOnce", {.corruptEvery = 1}, false, {1, 1, 2, 2, 0}},
        // An answer for another address is refused by the transaction.
        {"wrongAddress", {.wrongAddress = true}, false, {1, 1, 0, 2, 0}},
        {"silent", {.silent = true}, false, {1, 1, 2, 0, 0}},
    };
    for (const FaultCase& c : cases) {
        ASSERT_TRUE(link.TryPorts({sim.PortPath()})) << c.name; // counters since open: the probe
        sim.SetFaults(c.faults);
        std::uint8_t byte = 0;
        bool answered = true;
        try {
            link.ReadEeprom(0x10, byte);
        } catch (const CControllerException&) {
            answered = false;
        }
        sim.SetFaults({});
        EXPECT_EQ(answered, c.answered) << c.name;
        const LinkCounters n = SinceOpen();
        EXPECT_EQ(n.transactions, 1u + c.expected.transactions) << c.name; // + the probe
        EXPECT_EQ(n.resends, c.expected.resends) << c.name;
        EXPECT_EQ(n.timeouts, c.expected.timeouts) << c.name;
        EXPECT_EQ(n.refusedFrames, c.expected.refusedFrames) << c.name;
        EXPECT_EQ(link.Health().state, c.answered ? LinkState::Answering : LinkState::NotResponding)
            << c.name;
    }
}

TEST_F(LinkHealthTest, strayBytes_areCounted)
{
    sim.SendRaw({0x00, 0x11, 0x22});
    sim.SetEeprom(0x10, 0x42);
    EXPECT_EQ(Read(0x10), 0x42);
    EXPECT_EQ(SinceOpen().strayBytes, 3u);
    EXPECT_EQ(SinceOpen().refusedFrames, 0u);
}

TEST_F(LinkHealthTest, stateThroughOpenSilenceHangUpAndReopen)
{
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(Read(0x10), sim.Eeprom(0x10));
    LinkHealthSnapshot health = link.Health();
    EXPECT_EQ(health.state, LinkState::Answering);
    ASSERT_TRUE(health.lastAnswer.has_value());
    EXPECT_GE(*health.lastAnswer, before);

    link.Timings().retryDelay = 20;
    sim.SetFaults({.silent = true});
    EXPECT_THROW(Read(0x10), CControllerException);
    EXPECT_EQ(link.Health().state, LinkState::NotResponding);
    // The last accepted answer is still the one before the silence.
    EXPECT_EQ(link.Health().lastAnswer, health.lastAnswer);

    sim.HangUp();
    EXPECT_THROW(Read(0x10), CControllerException);
    EXPECT_EQ(link.Health().state, LinkState::PortLost);
    const std::uint64_t totalBefore = link.Health().total.transactions;

    sim::Simulator other{sim::Options{.liveGauges = false}};
    ASSERT_TRUE(other.Start());
    ASSERT_TRUE(link.TryPorts({other.PortPath()}));
    health = link.Health();
    EXPECT_EQ(health.state, LinkState::Answering);
    EXPECT_EQ(health.sinceOpen.transactions, 1u); // the probe on the new port
    EXPECT_EQ(health.total.transactions, totalBefore + 1);

    link.Port().Close();
    EXPECT_EQ(link.Health().state, LinkState::NoPort);
}

} // namespace
} // namespace kestrum
