#include "link/controller.h"
#include "sim/memory_image.h"
#include "sim/simulator.h"
#include "tests/support/fast_link.h"
#include "tests/tools/hex_records.h"
#include "tools/file_error.h"
#include "tools/firmware_upgrade.h"
#include "tools/parse_byte_value.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

// The upgrade over a real pseudo-terminal against the simulated controller.
namespace kestrum {
namespace {

namespace fs = std::filesystem;
using test::DataRecord;
using test::kEndRecord;
using Bytes = std::vector<std::uint8_t>;

Bytes Of(const Packet& p)
{
    return Bytes(p.begin(), p.end());
}

class FirmwareUpgradeTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        ASSERT_TRUE(test::OpenFastLink(link, sim.PortPath(), 3));
    }
    void TearDown() override { fs::remove(path); }

    void WriteFile(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

    sim::Simulator sim{sim::Options{.modelCode = 0, .pacing = false, .liveGauges = false}};
    CController link;
    NoProgress progress;
    std::string path =
        (fs::temp_directory_path() / ("kestrum-upgrade-" + std::to_string(getpid()) + ".hex"))
            .string();
};

TEST_F(FirmwareUpgradeTest, validFile_isWrittenInOrderAndTheControllerRunsItsFirmwareAgain)
{
    WriteFile(DataRecord(0x0100, {0x34, 0x12, 0x78, 0x56}) + "\r\n" + kEndRecord + "\r\n");
    const UpgradeResult r = UpgradeFirmware(link, path, progress);
    EXPECT_EQ(r.status, UpgradeResult::Status::Succeeded) << r.error;
    EXPECT_EQ(sim.Flash(0x80), 0x1234);
    EXPECT_EQ(sim.Flash(0x81), 0x5678);
    EXPECT_EQ(sim.Flash(2), 0x2A03);
    EXPECT_EQ(sim.Ram(0x50), 0);
    const std::vector<Bytes> expected = {{0x5B, 0x04, 0x50, 0x00, 0x00, 0x00, 0x51},
                                         {0x5B, 0x01, 0x02, 0x00, 0x00, 0x2A, 0x78},
                                         {0x5B, 0x00, 0x02, 0x00, 0x00, 0x00, 0xA3},
                                         {0x5B, 0x05, 0x00, 0x00, 0x00, 0x00, 0xA0},
                                         {0x5B, 0x04, 0x50, 0x00, 0x00, 0x00, 0x51},
                                         Of(MakeRequest(Command::WriteFlash, 0x80, 0, 0x34, 0x12)),
                                         Of(MakeRequest(Command::ReadFlash, 0x80, 0)),
                                         Of(MakeRequest(Command::WriteFlash, 0x81, 0, 0x78, 0x56)),
                                         Of(MakeRequest(Command::ReadFlash, 0x81, 0)),
                                         {0x5B, 0x01, 0x02, 0x00, 0x03, 0x2A, 0x75},
                                         {0x5B, 0x00, 0x02, 0x00, 0x00, 0x00, 0xA3},
                                         {0x5B, 0x05, 0x00, 0x00, 0x00, 0x00, 0xA0},
                                         {0x5B, 0x04, 0x50, 0x00, 0x00, 0x00, 0x51}};
    std::vector<Bytes> sent;
    for (const Packet& p : sim.Transcript())
        sent.push_back(Of(p));
    EXPECT_EQ(sent, expected);
}

TEST_F(FirmwareUpgradeTest, badFilesAndUnknownMode_sendNothingWritten)
{
    const struct
    {
        const char* name;
        std::string file;
        std::uint8_t mode;
        std::string error;
        std::size_t packets;
    } rows[] = {
        {"checksum", ":0100000055AB\n" + kEndRecord, 0, "ERROR - bad checksum '0xaa'", 0},
        {"oddCount", DataRecord(0, {1, 2, 3}) + "\n" + kEndRecord, 0,
         "ERROR - odd byte count in line 1", 0},
        {"mode2", DataRecord(0, {1, 2}) + "\n" + kEndRecord, 2, "Unknown mode", 1},
    };
    for (const auto& row : rows) {
        sim.ClearTranscript();
        sim.SetRam(0x50, row.mode);
        WriteFile(row.file);
        const UpgradeResult r = UpgradeFirmware(link, path, progress);
        EXPECT_EQ(r.status, UpgradeResult::Status::Failed) << row.name;
        EXPECT_EQ(r.error, row.error) << row.name;
        EXPECT_EQ(sim.Transcript().size(), row.packets) << row.name;
    }
}

TEST_F(FirmwareUpgradeTest, missingFile_isAFileErrorAndSendsNothing)
{
    const UpgradeResult r = UpgradeFirmware(link, path + ".absent", progress);
    EXPECT_EQ(r.status, UpgradeResult::Status::FileError);
    EXPECT_EQ(r.fileError, std::make_error_condition(std::errc::no_such_file_or_directory));
    EXPECT_TRUE(sim.Transcript().empty());
}

// Silent from, or hung up at, every request of a full run in turn, then a
// second run on a fresh link: each must end with the image in FLASH and the firmware running.
TEST_F(FirmwareUpgradeTest, interruptedAtAnyRequest_theNextRunCompletes)
{
    WriteFile(DataRecord(0x0100, {1, 0, 2, 0}) + "\n" + DataRecord(0x0200, {3, 0}) + "\n" +
              kEndRecord + "\n");
    ASSERT_EQ(UpgradeFirmware(link, path, progress).status, UpgradeResult::Status::Succeeded);
    const std::size_t requests = sim.Transcript().size();
    std::size_t transactions = 0;
    for (const Packet& p : sim.Transcript())
        transactions += p[1] != 0 ? 1 : 0; // reads of FLASH here are only read-backs
    std::size_t recovered = 0;
    for (unsigned run = 0; run < 2 * requests; ++run) {
        const unsigned k = run % requests + 1;
        const bool hangUp = run >= requests;
        sim.SetFlash(0x80, 0);
        sim.SetFlash(0x81, 0);
        sim.SetFlash(0x100, 0);
        sim.SetFaults(hangUp ? sim::Faults{.hangUpAt = k} : sim::Faults{.silentFrom = k});
        link.Timings().readWriteTries = 1;
        EXPECT_EQ(UpgradeFirmware(link, path, progress).status,
                  UpgradeResult::Status::NotResponding)
            << k;
        sim.SetFaults({});
        link.Port().SetName(sim.PortPath()); // closes the interrupted link's port
        if (hangUp) { // plugged in again: a new line, the controller's memory as it was
            sim.Stop();
            ASSERT_TRUE(sim.Start());
        }
        CController fresh;
        fresh.Timings().readWriteTries = 3;
        fresh.Timings().retryDelay = 30;
        fresh.Timings().writeDelay = 1;
        fresh.Timings().resetDelay = 1;
        fresh.Port().SetName(sim.PortPath());
        ASSERT_TRUE(fresh.OpenLink());
        const UpgradeResult r = UpgradeFirmware(fresh, path, progress);
        const bool ok = r.status == UpgradeResult::Status::Succeeded && sim.Flash(0x80) == 1 &&
                        sim.Flash(0x81) == 2 && sim.Flash(0x100) == 3 && sim.Ram(0x50) == 0;
        EXPECT_TRUE(ok) << (hangUp ? "hung up at request " : "silent from request ") << k << ": "
                        << r.error;
        recovered += ok ? 1 : 0;
        fresh.Port().SetName(sim.PortPath());
        link.Port().SetName(sim.PortPath());
        ASSERT_TRUE(link.OpenLink());
    }
    std::printf("upgrade: %zu transactions, %zu requests; interrupted %zu times (silence, "
                "hang-up at each request), recovered %zu\n",
                transactions, requests, 2 * requests, recovered);
}

// Cancels at the first look, after the first line has been written.
class CancelAtOnce final : public RunProgress
{
public:
    void SetRange(std::int64_t, std::int64_t) override {}
    void SetPos(std::int64_t) override {}
    bool Cancelled() override { return true; }
};

TEST_F(FirmwareUpgradeTest, bootloaderAlreadyRunningOrOnlyTheEndRecordOrCancel)
{
    const std::string image = DataRecord(0x0100, {0x34, 0x12}) + "\n" +
                              DataRecord(0x0200, {0x78, 0x56}) + "\n" + kEndRecord + "\n";
    const struct
    {
        const char* name;
        std::string file;
        std::uint8_t mode;
        bool cancel;
        UpgradeResult::Status status;
        Bytes firstTwoCommands; // command bytes of the first two requests
        std::uint16_t word2;
        std::uint8_t modeAfter;
    } rows[] = {
        {"inBootloader", image, 1, false, UpgradeResult::Status::Succeeded, {4, 1}, 0x2A03, 0},
        {"endOnly",
         kEndRecord + "\n",
         0,
         false,
         UpgradeResult::Status::Succeeded,
         {4, 1},
         0x2A03,
         0},
        {"cancel", image, 0, true, UpgradeResult::Status::Failed, {4, 1}, 0x2A00, 1},
    };
    for (const auto& row : rows) {
        sim.SetRam(0x50, row.mode);
        sim.SetFlash(2, 0x2A03);
        sim.SetFlash(0x80, 0);
        sim.SetFlash(0x100, 0);
        sim.ClearTranscript();
        WriteFile(row.file);
        CancelAtOnce cancel;
        RunProgress& watch = row.cancel ? static_cast<RunProgress&>(cancel) : progress;
        const UpgradeResult r = UpgradeFirmware(link, path, watch);
        EXPECT_EQ(r.status, row.status) << row.name << ": " << r.error;
        const auto sent = sim.Transcript();
        ASSERT_GE(sent.size(), 2u) << row.name;
        EXPECT_EQ((Bytes{sent[0][1], sent[1][1]}), row.firstTwoCommands) << row.name;
        EXPECT_EQ(sim.Flash(2), row.word2) << row.name;
        EXPECT_EQ(sim.Ram(0x50), row.modeAfter) << row.name;
        if (row.mode == 1) { // straight to the data: no 0x2A00 and no first reset
            EXPECT_EQ(Of(sent[1]), Of(MakeRequest(Command::WriteFlash, 0x80, 0, 0x34, 0x12)));
        }
        if (row.cancel) { // the first line only; the next run completes from the bootloader
            EXPECT_EQ(sim.Flash(0x80), 0x1234);
            EXPECT_EQ(sim.Flash(0x100), 0);
            EXPECT_EQ(UpgradeFirmware(link, path, progress).status,
                      UpgradeResult::Status::Succeeded);
            EXPECT_EQ(sim.Flash(0x100), 0x5678);
            EXPECT_EQ(sim.Ram(0x50), 0);
        }
    }
}

TEST(ParseByteValue, examples)
{
    const struct
    {
        std::string in;
        bool ok;
        std::string text;
        int value; // -1: unchanged (starts at 7)
    } rows[] = {
        {" 12 ", true, "0x0C", 12}, {"255", true, "0xFF", 255},    {"256", false, "256", -1},
        {"x1f", true, "0x1F", 31},  {"0X1F", true, "0x1F", 31},    {"0x", false, "0x00", 0},
        {"1f", false, "0x00", 0},   {"0x100", false, "0x100", -1}, {"0x1x", false, "0x00", 0},
        {"   ", true, "0x00", 0},   {"", false, "", -1},           {"-1", false, "0x00", 0},
    };
    for (const auto& row : rows) {
        std::string text = row.in;
        std::uint8_t value = 7;
        EXPECT_EQ(ParseByteValue(text, value), row.ok) << row.in;
        EXPECT_EQ(text, row.text) << row.in;
        EXPECT_EQ(value, row.value < 0 ? 7 : row.value) << row.in;
    }
}

TEST(UpgradeFailedText, reasonRunsStraightOn_noneLeavesTheBareText)
{
    EXPECT_EQ(UpgradeFailedText(""), "Upgrade failed");
    EXPECT_EQ(UpgradeFailedText("Unknown mode"), "Upgrade failedUnknown mode");
}

TEST(UpgradeFailureTexts, silentController_isToldFirst_thenTheFailure)
{
    const struct
    {
        UpgradeResult::Status status;
        const char* error;
        std::vector<std::string> texts;
    } cases[] = {
        {UpgradeResult::Status::Failed, "", {"Upgrade failed"}},
        {UpgradeResult::Status::Failed, "Unknown mode", {"Upgrade failedUnknown mode"}},
        {UpgradeResult::Status::NotResponding,
         "",
         {"Motor controller is not responding", "Upgrade failed"}},
    };
    // A file that could not be read is told alone, by its file error.
    UpgradeResult missing;
    missing.status = UpgradeResult::Status::FileError;
    missing.error = "never shown";
    missing.fileError = std::make_error_code(std::errc::no_such_file_or_directory);
    EXPECT_EQ(UpgradeFailureTexts(missing, "app.hex"),
              std::vector<std::string>{FileErrorText(missing.fileError, "app.hex")});
    for (const auto& c : cases) {
        UpgradeResult result;
        result.status = c.status;
        result.error = c.error;
        EXPECT_EQ(UpgradeFailureTexts(result, "app.hex"), c.texts) << c.error;
    }
}

} // namespace
} // namespace kestrum
