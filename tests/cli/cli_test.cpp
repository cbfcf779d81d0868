#include "link/controller.h"
#include "profiles/profile_file.h"
#include "sim/memory_image.h"
#include "sim/simulator.h"
#include "support/fast_link.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "tests/tools/hex_records.h"
#include "tools/error_log_export.h"
#include "tools/firmware_upgrade.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

// kestrum-cli run as a script runs it, against the simulated controller on a
// pseudo-terminal. Its results are held against the core procedures the
// window runs, on a second simulated controller.
namespace kestrum {
namespace {

namespace layout = sim::layout;

class CliTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.Valid());
        ASSERT_TRUE(sim.Start());
        // The window's store, as the window writes it: the program takes
        // its timings from there, so that writes wait 1 ms, not 20.
        std::filesystem::create_directories(dir.Path() / ".config" / "Quorvel");
        std::ofstream(dir.Path() / ".config" / "Quorvel" / "Quorvel Kestrum.conf")
            << "[General]\nWriteDelay=500\n\n[Settings]\nWriteDelay=1\nResetDelay=5\n";
    }

    // With the port named and short waits, and a home of its own, so that
    // neither this machine's stored timings nor its history are touched.
    test::ProgramRun Cli(std::vector<std::string> arguments,
                         const std::function<void(pid_t)>& started = {})
    {
        arguments.insert(arguments.begin(), {"--port", sim.PortPath(), "--retry-delay", "50"});
        return test::RunProgram(KESTRUM_BINARY_DIR "/kestrum-cli", arguments,
                                {"HOME=" + dir.Path().string(), "XDG_CONFIG_HOME=",
                                 "XDG_DATA_HOME=" + (dir.Path() / "data").string()},
                                30000, started);
    }
    std::string File(const std::string& name, const std::string& text = {})
    {
        const std::string path = dir.File(name);
        if (!text.empty())
            std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    static std::string Contents(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool AnyWrite() const
    {
        for (const Packet& packet : sim.Transcript()) {
            const auto command = static_cast<Command>(packet[1]);
            if (command == Command::WriteEeprom || command == Command::WriteFlash)
                return true;
        }
        return false;
    }

    test::TempDir dir;
    sim::Simulator sim{sim::Options{.pacing = false, .liveGauges = false}};
};

TEST_F(CliTest, identify_printsWhatTheControlPanelShows)
{
    const test::ProgramRun run = Cli({"identify"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Model: RK-AG\nFamily: KAV\nSerial Number: 228138\nField Map: 18\nPort: " +
                           sim.PortPath() + "\n");
}

TEST_F(CliTest, errors_writesTheSameLineAsTheWindowsExport)
{
    const std::string fromCli = File("cli.log");
    ASSERT_EQ(Cli({"errors", fromCli}).status, 0);

    sim::Simulator other{sim::Options{.pacing = false, .liveGauges = false}};
    ASSERT_TRUE(other.Start());
    CController link;
    ASSERT_TRUE(test::OpenFastLink(link, other.PortPath(), 2));
    const std::string fromWindow = File("window.log");
    ASSERT_EQ(ExportErrorLog(link, fromWindow).status, ErrorLogResult::Status::Written);

    EXPECT_EQ(Contents(fromCli).size(), 95u);
    EXPECT_EQ(Contents(fromCli), Contents(fromWindow));
}

TEST_F(CliTest, upgrade_sendsWhatTheWindowsUpgradeSends_afterOneProbe)
{
    const std::string hex =
        File("new.hex", test::DataRecord(0x0100, test::Counting(8)) + "\n" +
                            test::DataRecord(0x0200, {1, 2}) + "\n" + test::kEndRecord + "\n");
    const test::ProgramRun run = Cli({"upgrade", hex});
    ASSERT_EQ(run.status, 0) << run.err;

    sim::Simulator other{sim::Options{.pacing = false, .liveGauges = false}};
    ASSERT_TRUE(other.Start());
    CController link;
    link.Port().SetName(other.PortPath());
    link.Timings().retryDelay = 50;
    link.Timings().writeDelay = 1;
    link.Timings().resetDelay = 5;
    ASSERT_TRUE(link.OpenLink());
    NoProgress quiet;
    ASSERT_EQ(UpgradeFirmware(link, hex, quiet).status, UpgradeResult::Status::Succeeded);

    std::vector<Packet> window = other.Transcript();
    window.insert(window.begin(), MakeRequest(Command::ReadEeprom, layout::kModelCode));
    EXPECT_EQ(sim.Transcript(), window);
}

TEST_F(CliTest, upgradeInterruptedByCtrlC_leavesTheBootloader_andASecondRunCompletes)
{
    std::string text;
    for (unsigned record = 0; record < 100; ++record)
        text += test::DataRecord(0x0100 + record * 16, test::Counting(16)) + "\n";
    const std::string hex = File("long.hex", text + test::kEndRecord + "\n");
    std::thread interrupter;
    const test::ProgramRun interrupted = Cli({"upgrade", hex}, [&](pid_t child) {
        interrupter = std::thread([this, child] {
            // Well into the data writes, far from their end.
            if (sim.WaitForRequests(60, std::chrono::seconds(10)))
                ::kill(child, SIGINT);
        });
    });
    interrupter.join();

    EXPECT_EQ(interrupted.status, 4) << interrupted.err;
    EXPECT_TRUE(interrupted.err.starts_with("Upgrade failed")) << interrupted.err;
    EXPECT_EQ(sim.Ram(layout::kMode), 1); // still in the bootloader

    const test::ProgramRun completed = Cli({"upgrade", hex});
    EXPECT_EQ(completed.status, 0) << completed.err;
    EXPECT_EQ(sim.Ram(layout::kMode), 0);
    EXPECT_EQ(sim.Flash(0x0080 + 99 * 8 + 7), 0x0F0E); // the last word of the file
}

TEST_F(CliTest, upgradeOfABadFile_failsWithStatus4_beforeAnyTraffic)
{
    const test::ProgramRun run = Cli({"upgrade", File("bad.hex", ":0100000055AB\n:00000001FF\n")});
    EXPECT_EQ(run.status, 4);
    EXPECT_TRUE(run.err.starts_with("Upgrade failed")) << run.err;
    EXPECT_TRUE(sim.Transcript().empty());
}

TEST_F(CliTest, silentController_exitStatus1_withTheWindowsText)
{
    sim.SetFaults(sim::Faults{.silentFrom = 1});
    const test::ProgramRun run = Cli({"--tries", "2", "settings"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Cannot locate Motor controller\n\nNo controller answered on " +
                           sim.PortPath() + ".\n");
    EXPECT_TRUE(run.out.empty());
}

TEST_F(CliTest, profileLoadWithoutYes_showsTheChangesAndWritesNothing)
{
    const std::string profile = File("cart.json");
    ASSERT_EQ(Cli({"profile", "save", profile}).status, 0);
    EXPECT_EQ(Cli({"profile", "diff", profile}).out,
              "The controller already holds this profile.\n");
    sim.SetEeprom(layout::kMaxCurrent, 70);
    sim.ClearTranscript();

    EXPECT_EQ(Cli({"profile", "diff", profile}).out, "Max Output Current: 70 -> 90 %\n");

    const test::ProgramRun shown = Cli({"profile", "load", profile});
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.out,
              "Max Output Current: 70 -> 90 %\nNothing was written; add --yes to write this.\n");
    EXPECT_FALSE(AnyWrite());

    const test::ProgramRun loaded = Cli({"profile", "load", profile, "--yes"});
    EXPECT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_EQ(sim.Eeprom(layout::kMaxCurrent), 90);
}

// The controller has 32K FLASH words of 14 bits; a larger address wraps onto
// the start of FLASH, a wider word loses bits. Both are refused before the
// controller is looked for.
TEST_F(CliTest, flashAddressPastTheEndOrWordWiderThan14Bits_isRefused_andNothingIsSent)
{
    sim.SetFlash(0x0000, 0x0155);
    sim.SetFlash(0x0002, 0x0777);
    const struct
    {
        std::vector<std::string> arguments;
        const char* error;
    } cases[] = {
        {{"memory", "write", "flash", "0x8000", "0x1234"}, "0x8000 is past the end"},
        {{"memory", "write", "flash", "65535", "1"}, "0xFFFF is past the end"},
        {{"memory", "write", "flash", "0", "0x4000"}, "0x4000 does not fit"},
        {{"memory", "read", "flash", "0x8002"}, "0x8002 is past the end"},
    };
    for (const auto& c : cases) {
        const test::ProgramRun run = Cli(c.arguments);
        EXPECT_EQ(run.status, 2) << c.arguments[3];
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    EXPECT_TRUE(sim.Transcript().empty());
    EXPECT_EQ(sim.Flash(0x0000), 0x0155);

    const test::ProgramRun last = Cli({"memory", "write", "flash", "0x7FFF", "0x3FFF"});
    EXPECT_EQ(last.status, 0) << last.err;
    EXPECT_EQ(last.out, "Write succeeded\n");
    EXPECT_EQ(sim.Flash(0x7FFF), 0x3FFF);
    EXPECT_EQ(Cli({"memory", "read", "flash", "2"}).out,
              "Flash address 0x0002 (2) = 0x0777 (1911)\n");
}

// With no attempts the link fails every read quietly: nothing read may print
// as the controller's values.
TEST_F(CliTest, readsThatReportFailure_printNothing_andExit1)
{
    for (const char* command : {"identify", "settings"}) {
        const test::ProgramRun run = Cli({"--tries", "0", command});
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_EQ(run.err, "Motor controller is not responding\n") << command;
        EXPECT_TRUE(run.out.empty()) << command << ": " << run.out;
    }
    const test::ProgramRun memory = Cli({"--tries", "0", "memory", "read", "eeprom", "5"});
    EXPECT_EQ(memory.status, 1);
    EXPECT_TRUE(memory.out.empty()) << memory.out;
}

TEST_F(CliTest, timingOptions_takeTheTimingsDialogsRanges)
{
    const struct
    {
        std::vector<std::string> arguments;
        int status;
    } cases[] = {
        {{"--tries", "100", "reset"}, 2},         {{"--tries", "-1", "reset"}, 2},
        {{"--tries", "99", "reset"}, 0},          {{"--retry-delay", "10001", "reset"}, 2},
        {{"--retry-delay", "10000", "reset"}, 0},
    };
    for (const auto& c : cases) {
        const test::ProgramRun run = Cli(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments[0] << " " << c.arguments[1] << run.err;
    }
}

// A file argument that cannot be a file is told as a file error before the
// controller is read: no traffic at all.
TEST_F(CliTest, emptyPathOrFolder_isAFileError_beforeAnyTraffic)
{
    const std::string folder = dir.Path().string();
    const struct
    {
        std::vector<std::string> arguments;
        std::string error;
    } cases[] = {
        {{"profile", "save", ""}, "\"\" contains an invalid path.\n"},
        {{"profile", "save", folder}, "Access to " + folder + " was denied.\n"},
        {{"profile", "diff", folder}, "Access to " + folder + " was denied.\n"},
        {{"profile", "load", ""}, "\"\" contains an invalid path.\n"},
        {{"errors", folder}, "Access to " + folder + " was denied.\n"},
        {{"errors", ""}, "\"\" contains an invalid path.\n"},
        {{"upgrade", folder}, "Access to " + folder + " was denied.\n"},
    };
    for (const auto& c : cases) {
        const test::ProgramRun run = Cli(c.arguments);
        EXPECT_EQ(run.status, 3) << c.arguments[0] << " '" << c.arguments.back() << "'";
        EXPECT_EQ(run.err, c.error);
    }
    EXPECT_TRUE(sim.Transcript().empty());
}

TEST_F(CliTest, commandHelp_printsThatCommandsOwnUsage)
{
    const struct
    {
        std::vector<std::string> arguments;
        std::vector<std::string> usages; // the usage lines, in order
    } cases[] = {
        {{"profile", "diff", "--help"}, {"profile diff FILE"}},
        {{"profile", "load", "--help"}, {"profile load FILE [--yes]"}},
        {{"profile", "--help"},
         {"profile save FILE", "profile diff FILE", "profile load FILE [--yes]"}},
        {{"throttle", "set", "--help"}, {"throttle set CURVE [--sensor NAME]"}},
        {{"throttle", "--help"}, {"throttle", "throttle set CURVE [--sensor NAME]"}},
        {{"memory", "write", "--help"}, {"memory write flash|eeprom|ram ADDR VALUE"}},
        {{"memory", "read", "--help"}, {"memory read flash|eeprom|ram ADDR"}},
        {{"identify", "--help"}, {"identify"}},
    };
    for (const auto& c : cases) {
        const test::ProgramRun run = Cli(c.arguments);
        EXPECT_EQ(run.status, 0);
        std::vector<std::string> usages;
        std::istringstream lines(run.out);
        for (std::string line; std::getline(lines, line);) {
            const std::string prefix = "Usage: kestrum-cli [options] ";
            if (line.starts_with(prefix))
                usages.push_back(line.substr(prefix.size()));
        }
        EXPECT_EQ(usages, c.usages) << run.out;
    }
    EXPECT_TRUE(sim.Transcript().empty());
}

TEST_F(CliTest, version_printsTheProgramsVersion)
{
    const test::ProgramRun run = Cli({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "kestrum-cli 1.0.0.1\n");
    EXPECT_TRUE(sim.Transcript().empty());
}

TEST_F(CliTest, unknownGauge_listsTheGauges)
{
    const test::ProgramRun run = Cli({"monitor", "--gauges", "voltage,speed"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("unknown gauge \"speed\"; the gauges are throttle, temperature, "
                           "voltage, output, battery and flags"),
              std::string::npos)
        << run.err;
}

TEST_F(CliTest, portThatDoesNotExist_isNamed)
{
    const std::string missing = dir.File("ttyNone");
    const test::ProgramRun run =
        test::RunProgram(KESTRUM_BINARY_DIR "/kestrum-cli", {"--port", missing, "identify"},
                         {"HOME=" + dir.Path().string(), "XDG_CONFIG_HOME="}, 30000);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Cannot locate Motor controller\n\n" + missing + " was not found.\n");
}

// "MM/DD/YY hh:mm:ss.mmm  ,,<volts>,,,0x<flags>": only those two gauges polled.
bool IsVoltageAndFlagsRow(const std::string& line)
{
    const std::string form = "00/00/00 00:00:00.000  ";
    if (line.size() < form.size())
        return false;
    for (std::size_t i = 0; i < form.size(); ++i) {
        const bool digit = line[i] >= '0' && line[i] <= '9';
        if (form[i] == '0' ? !digit : line[i] != form[i])
            return false;
    }
    std::vector<std::string> fields;
    std::istringstream rest(line.substr(form.size()) + ",");
    for (std::string field; std::getline(rest, field, ',');)
        fields.push_back(field);
    return fields.size() == 6 && fields[0].empty() && fields[1].empty() &&
           fields[2].find_first_not_of("0123456789.") == std::string::npos && !fields[2].empty() &&
           fields[3].empty() && fields[4].empty() && fields[5].size() == 4 &&
           fields[5].starts_with("0x");
}

TEST_F(CliTest, monitorWithCount_printsTheHeaderAndThatManyRows)
{
    const test::ProgramRun run =
        Cli({"monitor", "--count", "3", "--interval", "0", "--gauges", "voltage,flags"});
    EXPECT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "TimeStamp,ThrottlePos,DiodeTemp,BatteryVoltage,OutputCurrent,BatteryCurrent,"
                    "ErrorFlags");
    int rows = 0;
    while (std::getline(lines, line)) {
        EXPECT_TRUE(IsVoltageAndFlagsRow(line)) << line;
        ++rows;
    }
    EXPECT_EQ(rows, 3);
}

TEST_F(CliTest, badCommandLinesAndFiles_haveTheirExitStatus)
{
    const struct
    {
        std::vector<std::string> arguments;
        int status;
    } cases[] = {
        {{"fly"}, 2},
        {{"--tries", "500", "identify"}, 2},
        {{"memory", "read", "flash", "zz"}, 2},
        {{"memory", "read", "disk", "1"}, 2},
        {{"throttle", "set", "Custom"}, 2},
        {{"throttle", "set", "Linear", "--sensor", "Steam"}, 2},
        {{"profile", "load", "/nonexistent/cart.json"}, 3},
        {{"errors", "/nonexistent/folder/Error.log"}, 3},
        {{"upgrade", "/nonexistent.hex"}, 3},
    };
    for (const auto& c : cases) {
        const test::ProgramRun run = Cli(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments[0] << " " << run.err;
        EXPECT_FALSE(run.err.empty()) << c.arguments[0];
    }
    EXPECT_FALSE(AnyWrite());
}

TEST_F(CliTest, help_listsEveryCommand)
{
    const test::ProgramRun run = Cli({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* command :
         {"identify", "settings", "profile save", "profile diff", "profile load", "throttle set",
          "errors", "upgrade", "monitor", "memory read", "memory write", "reset"})
        EXPECT_NE(run.out.find(command), std::string::npos) << command;
    const test::ProgramRun one = Cli({"monitor", "--help"});
    EXPECT_EQ(one.status, 0);
    EXPECT_TRUE(one.out.starts_with("Usage: kestrum-cli [options] monitor")) << one.out;
}

} // namespace
} // namespace kestrum
