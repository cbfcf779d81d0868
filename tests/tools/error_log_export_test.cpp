#include "link/controller.h"
#include "sim/simulator.h"
#include "tools/error_log_export.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <unistd.h>

namespace kestrum {
namespace {

namespace fs = std::filesystem;
using Status = ErrorLogResult::Status;

class ErrorLogExportTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        link.Timings().readWriteTries = 2;
        link.Timings().retryDelay = 30;
        link.Port().SetName(sim.PortPath());
        ASSERT_TRUE(link.OpenLink());
        fs::create_directories(dir);
        // Entry at address a holds a - 0x5D, except two marked values.
        for (unsigned a = 0x5D; a <= 0x7C; ++a)
            sim.SetEeprom(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(a - 0x5D));
        sim.SetEeprom(0x60, 0x0A);
        sim.SetEeprom(0x61, 0xFF);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Contents() const
    {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    sim::Simulator sim{sim::Options{.modelCode = 0, .pacing = false, .liveGauges = false}};
    CController link;
    fs::path dir = fs::temp_directory_path() / ("kestrum-errlog-" + std::to_string(getpid()));
    std::string file = (dir / "Error.log").string();
};

std::string Expected(unsigned index)
{
    std::string text;
    unsigned a = index;
    do {
        const unsigned v = a == 0x60 ? 0x0A : a == 0x61 ? 0xFF : a - 0x5D;
        char entry[4];
        std::snprintf(entry, sizeof entry, a == index ? "%02X" : ",%02X", v);
        text += entry;
        a = a == 0x5D ? 0x7C : a - 1;
    } while (a != index);
    return text;
}

TEST_F(ErrorLogExportTest, ringIsWrittenFromTheIndexDownwards_orEmptyForAnIndexOutsideIt)
{
    const struct
    {
        unsigned index;
        Status status;
        std::string text;
    } rows[] = {
        {0x5D, Status::Written, Expected(0x5D)},
        {0x7C, Status::Written, Expected(0x7C)},
        {0x62, Status::Written, Expected(0x62)},
        {0xFF, Status::EmptyLog, ""},
        {0x7D, Status::EmptyLog, ""},
    };
    for (const auto& row : rows) {
        sim.SetEeprom(0x7D, static_cast<std::uint8_t>(row.index));
        EXPECT_EQ(ExportErrorLog(link, file).status, row.status) << row.index;
        EXPECT_EQ(Contents(), row.text) << row.index;
        EXPECT_EQ(Contents().size(), row.status == Status::Written ? 95u : 0u) << row.index;
    }
    EXPECT_NE(Expected(0x62).find("FF,0A"), std::string::npos);
}

TEST_F(ErrorLogExportTest, controllerFallingSilent_leavesThePreviousFileAsItWas)
{
    const std::string previous = "previous export\r\n\x01\xff";
    std::ofstream(file, std::ios::binary) << previous;
    sim.SetEeprom(0x7D, 0x70);
    sim.SetFaults({.silentFrom = 10});
    EXPECT_EQ(ExportErrorLog(link, file).status, Status::NotResponding);
    EXPECT_EQ(Contents(), previous);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(ErrorLogExportTest, folderThatDoesNotExist_isAFileErrorAndSendsNothing)
{
    const ErrorLogResult r = ExportErrorLog(link, (dir / "absent" / "Error.log").string());
    EXPECT_EQ(r.status, Status::FileError);
    EXPECT_EQ(r.fileError, std::make_error_condition(std::errc::no_such_file_or_directory));
    EXPECT_TRUE(sim.Transcript().empty());
}

} // namespace
} // namespace kestrum
