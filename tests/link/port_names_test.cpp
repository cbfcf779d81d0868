#include "link/port_names.h"
#include "link/serial_port.h"
#include "sim/simulator.h"
#include "tests/support/pty.h"
#include "tests/support/temp_dir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrum {
namespace {

namespace fs = std::filesystem;
using port_listing::ListSysfsSerialPorts;

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

using kestrum::test::TempDir;

TEST(PortNames, acceptanceRule)
{
    struct Case
    {
        const char* name;
        bool accepted;
    } cases[] = {
        {"COM1", true},   {"com7", true},   {"cOm256", true}, {"COM0123", true}, {"COM", false},
        {"COM1A", false}, {"LPT1", false},  {"", false},      {"CO1", false},    {"COM ", false},
        {"COM-1", false}, {"XCOM1", false}, {" COM1", false}, {"COM1 ", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsAcceptablePortName(c.name), c.accepted) << '"' << c.name << '"';
}

TEST(PortNames, comNames_mapToTheLegacySerialDevices)
{
    struct Case
    {
        const char* name;
        const char* path;
    } cases[] = {
        {"COM1", "/dev/ttyS0"},
        {"com256", "/dev/ttyS255"},
        {"Com10", "/dev/ttyS9"},
        {"COM257", "COM257"},
        {"COM0", "COM0"},
        {"COM1A", "COM1A"},
        {"/dev/pts/7", "/dev/pts/7"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"COM99999999999999999", "COM99999999999999999"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DevicePathForPortName(c.name), c.path) << c.name;
}

TEST(PortNames, environmentList_isTakenExactly)
{
    struct Case
    {
        const char* value;
        std::vector<std::string> ports;
    } cases[] = {
        {"/dev/pts/3:/dev/pts/1", {"/dev/pts/3", "/dev/pts/1"}},
        {"", {}},
        {"::COM4:::COM1:", {"COM4", "COM1"}},
        {"/dev/ttyUSB0", {"/dev/ttyUSB0"}},
    };
    for (const auto& c : cases) {
        ScopedEnv env("KESTRUM_PORTS", c.value);
        EXPECT_EQ(SearchCandidates(), c.ports) << '"' << c.value << '"';
    }
    EXPECT_EQ(port_listing::SplitPortList("COM4;;COM1", ';'),
              (std::vector<std::string>{"COM4", "COM1"}));
}

TEST(PortNames, naturalOrder_readsNumbers)
{
    std::vector<std::string> names{"ttyUSB10", "ttyS1", "ttyUSB2", "ttyUSB1", "ttyS01",
                                   "ttyAMA0",  "ttyS",  "ttyUSB0", "ttyS100", "ttyS20"};
    std::sort(names.begin(), names.end(), port_listing::NaturalLess);
    EXPECT_EQ(names,
              (std::vector<std::string>{"ttyAMA0", "ttyS", "ttyS01", "ttyS1", "ttyS20", "ttyS100",
                                        "ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyUSB10"}));
    for (const auto& a : names)
        EXPECT_FALSE(port_listing::NaturalLess(a, a)) << a;
}

class FakeSysfs : public ::testing::Test
{
protected:
    // A tty entry as the kernel shows it: with `driver` it is bound to one.
    void AddTty(const std::string& name, const char* driver)
    {
        const fs::path tty = classTty() / name;
        fs::create_directories(tty);
        if (driver == nullptr)
            return;
        const fs::path device = root.Path() / "devices" / name;
        const fs::path drivers = root.Path() / "drivers" / driver;
        fs::create_directories(device);
        fs::create_directories(drivers);
        fs::create_directory_symlink(drivers, device / "driver");
        fs::create_directory_symlink(device, tty / "device");
    }
    fs::path classTty() const { return root.Path() / "class" / "tty"; }

    TempDir root;
};

TEST_F(FakeSysfs, usbThenAcmThenRealLegacyPorts)
{
    AddTty("ttyUSB10", "ftdi_sio");
    AddTty("ttyS10", "serial8250");
    AddTty("ttyACM0", "cdc_acm");
    AddTty("ttyS0", "serial8250");
    AddTty("ttyUSB2", "pl2303");
    AddTty("ttyS1", "serial8250");
    AddTty("ttyAMA0", "uart-pl011");
    AddTty("tty0", nullptr);    // virtual terminal
    AddTty("console", nullptr); // no driver
    AddTty("ttyS3", nullptr);   // entry without a bound device

    const std::set<std::string> withUart{"/fake/dev/ttyS1", "/fake/dev/ttyS10",
                                         "/fake/dev/ttyAMA0"};
    std::vector<std::string> checked;
    const auto ports =
        ListSysfsSerialPorts(classTty().string(), "/fake/dev", [&](const std::string& path) {
            checked.push_back(path);
            return withUart.count(path) != 0;
        });
    EXPECT_EQ(ports, (std::vector<std::string>{"/fake/dev/ttyUSB2", "/fake/dev/ttyUSB10",
                                               "/fake/dev/ttyACM0", "/fake/dev/ttyAMA0",
                                               "/fake/dev/ttyS1", "/fake/dev/ttyS10"}));
    // USB and ACM devices are real by nature; only the others are checked.
    EXPECT_EQ(checked.size(), 4u);
    EXPECT_EQ(std::count(checked.begin(), checked.end(), "/fake/dev/ttyUSB2"), 0);
}

TEST_F(FakeSysfs, missingOrEmptyTree_listsNothing)
{
    auto never = [](const std::string&) { return true; };
    EXPECT_TRUE(ListSysfsSerialPorts((root.Path() / "absent").string(), "/dev", never).empty());
    fs::create_directories(classTty());
    EXPECT_TRUE(ListSysfsSerialPorts(classTty().string(), "/dev", never).empty());
}

TEST(PortNames, uartCheck_needsADeviceThatOpens)
{
    EXPECT_FALSE(port_listing::DeviceHasUart("/nonexistent/ttyS0"));
    // A pseudo-terminal has no legacy UART driver to ask: it is a real port.
    sim::Simulator sim;
    ASSERT_TRUE(sim.Start());
    EXPECT_TRUE(port_listing::DeviceHasUart(sim.PortPath()));
}

// DeviceHasUart as an ordinary user sees it: an exclusive hold refuses such
// an opener, while root is let through anyway, so as root it is asked in a
// child process that gives up its privileges first. Empty when that fails.
std::optional<bool> PresentToOrdinaryUser(const std::string& path)
{
    if (::geteuid() != 0)
        return port_listing::DeviceHasUart(path);
    const pid_t child = ::fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(2);
        ::_exit(port_listing::DeviceHasUart(path) ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) > 1)
        return std::nullopt;
    return WEXITSTATUS(status) == 0;
}

TEST(PortNames, uartCheck_countsAPortHeldExclusivelyAsPresent)
{
    test::PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    // Open to everyone, so that only the hold can refuse the ordinary user.
    ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0666), 0);
    ASSERT_EQ(PresentToOrdinaryUser(pty.SlavePath()), std::optional<bool>(true));

    // Held as the link holds its port, for instance while its controller
    // does not answer and the search runs.
    CSerialPort holder;
    holder.SetName(pty.SlavePath());
    ASSERT_TRUE(holder.Open());
    EXPECT_EQ(PresentToOrdinaryUser(pty.SlavePath()), std::optional<bool>(true));
}

} // namespace
} // namespace kestrum
