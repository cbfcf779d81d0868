#include "link/controller.h"
#include "link/port_names.h"
#include "sim/simulator.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace kestrum {
namespace {

namespace fs = std::filesystem;

const Packet kProbe = {0x5B, 0x02, 0x7F, 0x00, 0x00, 0x00, 0x24};

// Every search here is pinned by KESTRUM_PORTS to what the test sets up
// (nothing unless a test names ports), so no host serial port is ever opened.
class LocateController : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("KESTRUM_PORTS"))
            oldPorts = old;
        SetListing("");
        controller.Timings().retryDelay = 40;
        controller.SetNotifier([this](const std::string& m) { messages.push_back(m); });
    }

    void TearDown() override
    {
        controller.Port().Close();
        oldPorts ? setenv("KESTRUM_PORTS", oldPorts->c_str(), 1) : unsetenv("KESTRUM_PORTS");
    }

    static void SetListing(const std::string& ports) { setenv("KESTRUM_PORTS", ports.c_str(), 1); }

    // A simulator; a silent one is a device that opens but does not answer.
    sim::Simulator& AddSimulator(bool answers)
    {
        sims.push_back(std::make_unique<sim::Simulator>(sim::Options{.liveGauges = false}));
        sim::Simulator& s = *sims.back();
        EXPECT_TRUE(s.Start());
        s.SetFaults({.silent = !answers});
        return s;
    }

    // The probes a simulator received. A silent one may still be taking in
    // the last probe when the search moves on, hence the wait.
    static std::vector<Packet> ProbesSeen(const sim::Simulator& s, std::size_t expected)
    {
        s.WaitForRequests(expected, std::chrono::seconds(2));
        return s.Transcript();
    }
    static std::vector<Packet> Probes(std::size_t n) { return std::vector<Packet>(n, kProbe); }

    // Whether the controller still holds the device: its open takes an
    // exclusive lock that a second opener cannot get, even as root.
    static bool HeldOpen(const std::string& path)
    {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        return held;
    }

    std::optional<std::string> oldPorts;
    std::vector<std::unique_ptr<sim::Simulator>> sims;
    CController controller;
    std::vector<std::string> messages;
};

TEST_F(LocateController, answeringOpenPort_costsOneProbeAndNothingElse)
{
    sim::Simulator& current = AddSimulator(true);
    ASSERT_TRUE(controller.TryPorts({current.PortPath()}));
    current.ClearTranscript();
    // A listed controller that would answer as well must not even be asked.
    sim::Simulator& listed = AddSimulator(true);
    SetListing(listed.PortPath());

    EXPECT_TRUE(controller.LocateController());
    EXPECT_EQ(ProbesSeen(current, 1), Probes(1));
    EXPECT_TRUE(listed.Transcript().empty());
    EXPECT_EQ(controller.Port().Name(), current.PortPath());
    EXPECT_TRUE(messages.empty());
}

TEST_F(LocateController, listedPortsInOrder_firstClosedAnswererLeftOpen)
{
    sim::Simulator& silent = AddSimulator(false);
    sim::Simulator& answering = AddSimulator(true);
    SetListing(silent.PortPath() + ":" + answering.PortPath());

    EXPECT_TRUE(controller.LocateController());
    EXPECT_EQ(ProbesSeen(silent, 1), Probes(1));
    EXPECT_EQ(ProbesSeen(answering, 1), Probes(1));
    EXPECT_EQ(controller.Port().Name(), answering.PortPath());
    EXPECT_TRUE(controller.IsPortOpen());
    EXPECT_FALSE(HeldOpen(silent.PortPath()));
    EXPECT_TRUE(HeldOpen(answering.PortPath()));
    // The link works on the port it found.
    std::uint8_t model = 0;
    EXPECT_TRUE(controller.ReadEeprom(127, model));
    EXPECT_EQ(model, answering.Eeprom(127));
    EXPECT_TRUE(messages.empty());
}

TEST_F(LocateController, pinnedSearch_noControllerThere_triesEachOnceAndTellsOnce)
{
    // Silent devices first, last and in the middle: each asked once, and
    // nothing beyond the pinned ports (no "COMn" names after them).
    sim::Simulator& first = AddSimulator(false);
    sim::Simulator& middle = AddSimulator(false);
    sim::Simulator& last = AddSimulator(false);
    SetListing(first.PortPath() + ":" + middle.PortPath() + ":" + last.PortPath());

    EXPECT_FALSE(controller.LocateController());
    EXPECT_EQ(messages, std::vector<std::string>{"Cannot locate Motor controller"});
    for (const sim::Simulator* s : {&first, &middle, &last})
        EXPECT_EQ(ProbesSeen(*s, 1), Probes(1));
    // Left named after the last one, and open because that device exists.
    EXPECT_EQ(controller.Port().Name(), last.PortPath());
    EXPECT_TRUE(controller.IsPortOpen());
}

TEST_F(LocateController, noDeviceAtAll_endsClosedAndTellsOnceWithoutANotifierToo)
{
    SetListing("/dev/kestrum-no-such-port");
    EXPECT_FALSE(controller.LocateController());
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(controller.Port().Name(), "/dev/kestrum-no-such-port");
    EXPECT_FALSE(controller.IsPortOpen());

    controller.SetNotifier(nullptr);
    EXPECT_FALSE(controller.LocateController());
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(LocateController, controllerGoneFromOpenPort_isFoundElsewhere)
{
    sim::Simulator& old = AddSimulator(true);
    ASSERT_TRUE(controller.TryPorts({old.PortPath()}));
    old.SetFaults({.silent = true});
    sim::Simulator& other = AddSimulator(true);
    SetListing(other.PortPath());

    EXPECT_TRUE(controller.LocateController());
    EXPECT_EQ(controller.Port().Name(), other.PortPath());
    EXPECT_FALSE(HeldOpen(old.PortPath()));
}

// Unpinned, the search runs over the machine's listing and then every COM
// name, listed ones again; pinned, over exactly the pinned entries.
TEST(SearchCandidates, unpinnedListingThenEveryComName_pinnedExactlyItsEntries)
{
    const std::vector<std::string> names =
        port_listing::WithComNames({"/dev/ttyUSB0", "/dev/ttyS3"});
    ASSERT_EQ(names.size(), 2u + 256u);
    EXPECT_EQ(names[0], "/dev/ttyUSB0");
    EXPECT_EQ(names[1], "/dev/ttyS3");
    EXPECT_EQ(names[2], "COM1");
    EXPECT_EQ(names[2 + 127], "COM128");
    EXPECT_EQ(names.back(), "COM256");
    EXPECT_EQ(port_listing::WithComNames({}).front(), "COM1");

    const char* old = std::getenv("KESTRUM_PORTS");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("KESTRUM_PORTS", "::/dev/pts/4:COM3:", 1);
    EXPECT_EQ(SearchCandidates(), (std::vector<std::string>{"/dev/pts/4", "COM3"}));
    setenv("KESTRUM_PORTS", "", 1);
    EXPECT_TRUE(SearchCandidates().empty());
    saved ? setenv("KESTRUM_PORTS", saved->c_str(), 1) : unsetenv("KESTRUM_PORTS");
}

TEST_F(LocateController, tryPorts_skipsNamesThatDoNotOpen)
{
    sim::Simulator& s = AddSimulator(true);
    const std::string missing = "/dev/kestrum-no-such-port";
    EXPECT_TRUE(controller.TryPorts({missing, s.PortPath()}));
    EXPECT_EQ(controller.Port().Name(), s.PortPath());
    EXPECT_FALSE(controller.TryPorts({}));
}

} // namespace
} // namespace kestrum
