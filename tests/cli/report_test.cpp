// kestrum-cli report FILE against the simulated controller on a
// pseudo-terminal: the PDF's text as poppler reads it back, compared with
// what the program's other commands print of the same controller.
#include "sim/memory_image.h"
#include "sim/simulator.h"
#include "support/pdf_text.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace kestrum {
namespace {

namespace layout = sim::layout;

#ifndef KESTRUM_REPORT_PDF

// Built without Qt, the program says so instead of writing anything.
TEST(CliReportWithoutQtTest, report_saysItIsNotAvailable_andFails)
{
    test::TempDir dir;
    ASSERT_TRUE(dir.Valid());
    const test::ProgramRun run = test::RunProgram(
        KESTRUM_BINARY_DIR "/kestrum-cli", {"--port", "/nonexistent", "report", dir.File("r.pdf")});
    EXPECT_EQ(run.status, 4);
    EXPECT_NE(run.err.find("not available"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("r.pdf")));
}

#else

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Whether one line of `text` holds both `label` and, after it, `value`.
bool OnOneLine(const std::string& text, const std::string& label, const std::string& value)
{
    for (const std::string& line : Lines(text)) {
        const auto at = line.find(label);
        if (at != std::string::npos && line.find(value, at + label.size()) != std::string::npos)
            return true;
    }
    return false;
}

class CliReportTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!test::PdfToolsPresent())
            GTEST_SKIP() << "pdftotext and pdfinfo (poppler-utils) are not installed";
        ASSERT_TRUE(dir.Valid());
        ASSERT_TRUE(sim.Start());
        std::filesystem::create_directories(dir.Path() / ".config" / "Quorvel");
        std::ofstream(dir.Path() / ".config" / "Quorvel" / "Quorvel Kestrum.conf")
            << "[Settings]\nWriteDelay=1\nResetDelay=5\n\n[Report]\nTechnician=Ada "
               "Tester\nWorkshop=North Bay Carts\n";
    }

    test::ProgramRun Cli(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), {"--port", sim.PortPath(), "--retry-delay", "50"});
        return test::RunProgram(KESTRUM_BINARY_DIR "/kestrum-cli", arguments,
                                {"HOME=" + dir.Path().string(), "XDG_CONFIG_HOME=",
                                 "XDG_DATA_HOME=" + (dir.Path() / "data").string()});
    }
    // The report's text, after checking it was written on one or two pages.
    std::string Report()
    {
        const std::string pdf = dir.File("report.pdf");
        const test::ProgramRun run = Cli({"report", pdf});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const auto pages = test::PdfPages(pdf);
        EXPECT_TRUE(pages && *pages >= 1 && *pages <= 2);
        return test::PdfText(pdf);
    }

    test::TempDir dir;
    sim::Simulator sim{sim::Options{.pacing = false, .liveGauges = false}};
};

TEST_F(CliReportTest, report_holdsIdentitySettingsCurveNamesAndErrorLog_asTheOtherCommandsGiveThem)
{
    const std::string text = Report();

    EXPECT_TRUE(OnOneLine(text, "Serial Number", "228138")) << text;
    EXPECT_TRUE(OnOneLine(text, "Model", "RK-AG")) << text;
    EXPECT_TRUE(OnOneLine(text, "Technician", "Ada Tester")) << text;
    EXPECT_TRUE(OnOneLine(text, "Workshop", "North Bay Carts")) << text;
    // Every setting and switch as `settings` prints it ("Under Voltage: 21.0 Volts").
    const test::ProgramRun settings = Cli({"settings"});
    ASSERT_EQ(settings.status, 0);
    ASSERT_EQ(Lines(settings.out).size(), 11u);
    for (const std::string& line : Lines(settings.out)) {
        const auto colon = line.find(": ");
        EXPECT_TRUE(OnOneLine(text, line.substr(0, colon), line.substr(colon + 2))) << line;
    }
    const test::ProgramRun throttle = Cli({"throttle"});
    ASSERT_EQ(throttle.status, 0);
    const std::vector<std::string> throttleLines = Lines(throttle.out);
    ASSERT_EQ(throttleLines.size(), 2u);
    EXPECT_TRUE(OnOneLine(text, "Throttle Sensor Type", throttleLines[0].substr(13))) << text;
    EXPECT_TRUE(OnOneLine(text, "Throttle curve:", throttleLines[1].substr(7))) << text;
    // The 32 entries in the export's order, sixteen to a line.
    const std::string exported = dir.File("Error.log");
    ASSERT_EQ(Cli({"errors", exported}).status, 0);
    std::ifstream in(exported);
    std::string line;
    std::getline(in, line);
    ASSERT_EQ(line.size(), 95u);
    std::string spaced = line;
    std::replace(spaced.begin(), spaced.end(), ',', ' ');
    EXPECT_TRUE(OnOneLine(text, "01-16", spaced.substr(0, 47))) << text;
    EXPECT_TRUE(OnOneLine(text, "17-32", spaced.substr(48))) << text;
}

TEST_F(CliReportTest, profileLoadedToday_appearsUnderTodaysChanges_withWhatItChanged)
{
    const std::string profile = dir.File("profile.json");
    ASSERT_EQ(Cli({"profile", "save", profile}).status, 0);
    sim.SetEeprom(layout::kMaxCurrent, 50);
    const test::ProgramRun load = Cli({"profile", "load", profile, "--yes"});
    ASSERT_EQ(load.status, 0) << load.err;

    const std::string text = Report();

    const auto today = text.find("Changes Today");
    ASSERT_NE(today, std::string::npos) << text;
    EXPECT_TRUE(OnOneLine(text.substr(today), ":", "Profile load")) << text;
    EXPECT_NE(text.find("Max Output Current: 50 -> 90 %", today), std::string::npos) << text;
}

TEST_F(CliReportTest, controllerSwappedBetweenReports_showsTheNewControllerOnly)
{
    ASSERT_NE(Report().find("228138"), std::string::npos);
    sim.SetEeprom(layout::kSerialNumber, 0x56);
    sim.SetEeprom(layout::kSerialNumber + 1, 0x34);
    sim.SetEeprom(layout::kSerialNumber + 2, 0x12);
    sim.SetEeprom(layout::kMaxCurrent, 33);

    const std::string text = Report();

    EXPECT_TRUE(OnOneLine(text, "Serial Number", "1193046")) << text;
    EXPECT_EQ(text.find("228138"), std::string::npos) << text;
    EXPECT_TRUE(OnOneLine(text, "Max Output Current", "33 %")) << text;
}

TEST_F(CliReportTest, folderThatDoesNotExist_isAFileError_andNothingIsWritten)
{
    const std::string pdf = dir.File("absent/report.pdf");
    const test::ProgramRun run = Cli({"report", pdf});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find(pdf), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(pdf));
}

#endif

} // namespace
} // namespace kestrum
