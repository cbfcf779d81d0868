#include "sim/simulator.h"
#include "tests/support/pty.h"

#include <gtest/gtest.h>
#include <memory>

namespace kestrum::sim {
namespace {

using namespace std::chrono_literals;
using kestrum::test::Bytes;
using kestrum::test::PtyClient;

class SimulatorFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        client = std::make_unique<PtyClient>(sim.PortPath());
        ASSERT_TRUE(client->IsOpen());
        sim.SetEeprom(10, 0xA1);
        sim.SetEeprom(11, 0xA2);
        sim.SetEeprom(12, 0xA3);
        sim.SetEeprom(13, 0xA4);
    }

    // Sends an EEPROM read and makes sure the simulator has taken it in, so
    // that whether it was answered is settled before the next request.
    void SendAndWait(std::uint8_t address)
    {
        const std::size_t before = sim.Transcript().size();
        client->Send(MakeRequest(Command::ReadEeprom, address));
        ASSERT_TRUE(sim.WaitForRequests(before + 1, 2s));
    }

    Simulator sim{Options{.modelCode = 0, .pacing = false, .liveGauges = false}};
    std::unique_ptr<PtyClient> client;
};

TEST_F(SimulatorFaults, silent_answersNothingButStillRecords)
{
    sim.SetFaults({.silent = true});
    SendAndWait(10);
    sim.SetFaults({});
    // The next bytes to arrive belong to the request sent after the faults ended.
    EXPECT_EQ(client->Transact(MakeRequest(Command::ReadEeprom, 11)),
              Bytes(MakeAnswer(2, 11, 0, 0xA2, 0)));
    EXPECT_EQ(sim.Transcript().size(), 2u);
}

TEST_F(SimulatorFaults, silent_stillCarriesOutWrites)
{
    sim.SetFaults({.silent = true});
    client->Send(MakeRequest(Command::WriteEeprom, 20, 0, 0x77));
    ASSERT_TRUE(sim.WaitForRequests(1, 2s));
    EXPECT_EQ(sim.Eeprom(20), 0x77);
}

TEST_F(SimulatorFaults, dropEvery_skipsEachNthAnswer)
{
    sim.SetFaults({.dropEvery = 2});
    EXPECT_EQ(client->Transact(MakeRequest(Command::ReadEeprom, 10))[4], 0xA1);
    SendAndWait(11); // second answer dropped
    EXPECT_EQ(client->Transact(MakeRequest(Command::ReadEeprom, 12))[4], 0xA3);
    SendAndWait(13); // fourth dropped
    sim.SetFaults({});
    EXPECT_EQ(client->Transact(MakeRequest(Command::ReadEeprom, 10))[4], 0xA1);
}

TEST_F(SimulatorFaults, dropFirst_answersTheRetry)
{
    sim.SetFaults({.dropFirst = 1});
    SendAndWait(10);
    EXPECT_EQ(client->Transact(MakeRequest(Command::ReadEeprom, 10)),
              Bytes(MakeAnswer(2, 10, 0, 0xA1, 0)));
}

TEST_F(SimulatorFaults, corruptEvery_breaksOnlyTheChecksumOfEachNthAnswer)
{
    sim.SetFaults({.corruptEvery = 2});
    const auto first = client->Transact(MakeRequest(Command::ReadEeprom, 10));
    const auto second = client->Transact(MakeRequest(Command::ReadEeprom, 11));
    EXPECT_EQ(first, Bytes(MakeAnswer(2, 10, 0, 0xA1, 0)));
    const Packet good = MakeAnswer(2, 11, 0, 0xA2, 0);
    ASSERT_EQ(second.size(), 7u);
    EXPECT_TRUE(std::equal(good.begin(), good.begin() + 6, second.begin()));
    EXPECT_NE(second[6], good[6]);
}

TEST_F(SimulatorFaults, wrongContents_keepAValidChecksum)
{
    sim.SetFlash(0x0305, 0x1234);
    sim.SetRam(0x40, 0x10);
    struct Case
    {
        const char* name;
        Faults faults;
        Packet request;
        Packet expected;
    } cases[] = {
        {"code",
         {.wrongCode = true},
         MakeRequest(Command::ReadEeprom, 10),
         MakeAnswer(4, 10, 0, 0xA1, 0)},
        {"address",
         {.wrongAddress = true},
         MakeRequest(Command::ReadEeprom, 10),
         MakeAnswer(2, 11, 0, 0xA1, 0)},
        {"value eeprom",
         {.wrongValue = true},
         MakeRequest(Command::ReadEeprom, 10),
         MakeAnswer(2, 10, 0, 0x5E, 0xFF)},
        {"value ram",
         {.wrongValue = true},
         MakeRequest(Command::ReadRam, 0x40),
         MakeAnswer(4, 0x40, 0xEF, 0xFF, 0xFF)},
        {"value flash",
         {.wrongValue = true},
         MakeRequest(Command::ReadFlash, 0x05, 0x03),
         MakeAnswer(0, 0x05, 0x03, 0xCB, 0xED)},
        {"address high",
         {.wrongAddressHigh = true},
         MakeRequest(Command::ReadFlash, 0x05, 0x03),
         MakeAnswer(0, 0x05, 0x02, 0x34, 0x12)},
        {"address high leaves eeprom",
         {.wrongAddressHigh = true},
         MakeRequest(Command::ReadEeprom, 10),
         MakeAnswer(2, 10, 0, 0xA1, 0)},
    };
    for (const auto& c : cases) {
        sim.SetFaults(c.faults);
        EXPECT_EQ(client->Transact(c.request), Bytes(c.expected)) << c.name;
    }
}

TEST_F(SimulatorFaults, answerDelay_holdsTheAnswerBack)
{
    sim.SetFaults({.answerDelay = 60ms});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client->Transact(MakeRequest(Command::ReadEeprom, 10)).size(), 7u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 60ms);
}

TEST_F(SimulatorFaults, pacing_takesTheLinesTimeBothWays)
{
    sim.SetPacing(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client->Transact(MakeRequest(Command::ReadEeprom, 10)).size(), 7u);
    // Seven bytes in and seven out at ten bits each, 9600 bit/s.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 14 * 10 * 1'000'000ns / 9600);
}

TEST_F(SimulatorFaults, stop_isNotHeldUpByADelayedAnswer)
{
    sim.SetFaults({.answerDelay = 60'000ms});
    SendAndWait(10);
    const auto start = std::chrono::steady_clock::now();
    sim.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

} // namespace
} // namespace kestrum::sim
