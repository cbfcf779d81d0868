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

// Every search here sees only what the test sets up: the listing comes from
// KESTRUM_PORTS (empty unless a test names ports) and "COMn" leads into a
// temporary folder, so no host serial port is ever opened.
class LocateController : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "kestrum-com-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        comFolder = pattern;
        SetComDeviceFolder(comFolder.string());
        if (const char* old = std::getenv("KESTRUM_PORTS"))
            oldPorts = old;
        SetListing("");
        controller.Timings().retryDelay = 40;
        controller.SetNotifier([this](const std::string& m) { messages.push_back(m); });
    }

    void TearDown() override
    {
        controller.Port().Close();
        SetComDeviceFolder("/dev");
        oldPorts ? setenv("KESTRUM_PORTS", oldPorts->c_str(), 1) : unsetenv("KESTRUM_PORTS");
        std::error_code ignored;
        fs::remove_all(comFolder, ignored);
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

    // Makes "COMn" lead to the simulator.
    void PlaceAt(int comNumber, const sim::Simulator& s)
    {
        fs::create_symlink(s.PortPath(), comFolder / ("ttyS" + std::to_string(comNumber - 1)));
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

    fs::path comFolder;
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
    sim::Simulator& com4 = AddSimulator(false);
    sim::Simulator& com1 = AddSimulator(true);
    PlaceAt(4, com4);
    PlaceAt(1, com1);
    SetListing("COM4:COM1");

    EXPECT_TRUE(controller.LocateController());
    EXPECT_EQ(ProbesSeen(com4, 1), Probes(1));
    EXPECT_EQ(ProbesSeen(com1, 1), Probes(1));
    EXPECT_EQ(controller.Port().Name(), "COM1");
    EXPECT_TRUE(controller.IsPortOpen());
    EXPECT_FALSE(HeldOpen(com4.PortPath()));
    EXPECT_TRUE(HeldOpen(com1.PortPath()));
    // The link works on the port it found.
    std::uint8_t model = 0;
    EXPECT_TRUE(controller.ReadEeprom(127, model));
    EXPECT_EQ(model, com1.Eeprom(127));
    EXPECT_TRUE(messages.empty());
}

TEST_F(LocateController, pathsInTheListingAreOpenedAsTheyAre)
{
    sim::Simulator& first = AddSimulator(false);
    sim::Simulator& second = AddSimulator(true);
    SetListing(first.PortPath() + ":" + second.PortPath());

    EXPECT_TRUE(controller.LocateController());
    EXPECT_EQ(ProbesSeen(first, 1), Probes(1));
    EXPECT_EQ(controller.Port().Name(), second.PortPath());
    EXPECT_FALSE(HeldOpen(first.PortPath()));
    EXPECT_TRUE(HeldOpen(second.PortPath()));
}

TEST_F(LocateController, emptyListing_fallsBackToComNames)
{
    sim::Simulator& com3 = AddSimulator(false);
    sim::Simulator& com7 = AddSimulator(true);
    PlaceAt(3, com3);
    PlaceAt(7, com7);

    EXPECT_TRUE(controller.LocateController());
    EXPECT_EQ(ProbesSeen(com3, 1), Probes(1));
    EXPECT_EQ(ProbesSeen(com7, 1), Probes(1));
    EXPECT_EQ(controller.Port().Name(), "COM7");
    EXPECT_FALSE(HeldOpen(com3.PortPath()));
    EXPECT_TRUE(messages.empty());
}

TEST_F(LocateController, noControllerAnywhere_triesEveryNameAndTellsOnce)
{
    // Silent devices at both ends and in the middle of the range, one of
    // them also listed: it is asked in the listing and again among the names.
    sim::Simulator& com1 = AddSimulator(false);
    sim::Simulator& com128 = AddSimulator(false);
    sim::Simulator& com256 = AddSimulator(false);
    PlaceAt(1, com1);
    PlaceAt(128, com128);
    PlaceAt(256, com256);
    SetListing("COM128");

    EXPECT_FALSE(controller.LocateController());
    EXPECT_EQ(messages, std::vector<std::string>{"Cannot locate Motor controller"});
    EXPECT_EQ(ProbesSeen(com1, 1), Probes(1));
    EXPECT_EQ(ProbesSeen(com128, 2), Probes(2));
    EXPECT_EQ(ProbesSeen(com256, 1), Probes(1));
    // Left named after the last name, and open because that device exists.
    EXPECT_EQ(controller.Port().Name(), "COM256");
    EXPECT_TRUE(controller.IsPortOpen());
}

TEST_F(LocateController, noDeviceAtAll_endsClosedAndTellsOnceWithoutANotifierToo)
{
    EXPECT_FALSE(controller.LocateController());
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(controller.Port().Name(), "COM256");
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
    sim::Simulator& com2 = AddSimulator(true);
    PlaceAt(2, com2);

    EXPECT_TRUE(controller.LocateController());
    EXPECT_EQ(controller.Port().Name(), "COM2");
    EXPECT_FALSE(HeldOpen(old.PortPath()));
}

TEST_F(LocateController, tryPorts_skipsNamesThatDoNotOpen)
{
    sim::Simulator& s = AddSimulator(true);
    const std::string missing = (comFolder / "nothing-here").string();
    EXPECT_TRUE(controller.TryPorts({missing, s.PortPath()}));
    EXPECT_EQ(controller.Port().Name(), s.PortPath());
    EXPECT_FALSE(controller.TryPorts({}));
}

} // namespace
} // namespace kestrum
