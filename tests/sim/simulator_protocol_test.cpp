#include "sim/simulator.h"
#include "tests/support/pty.h"

#include <gtest/gtest.h>
#include <memory>
#include <numeric>

namespace kestrum::sim {
namespace {

using kestrum::test::Bytes;
using kestrum::test::PtyClient;

class SimulatorProtocol : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        client = std::make_unique<PtyClient>(sim.PortPath());
        ASSERT_TRUE(client->IsOpen()) << sim.PortPath();
    }

    Simulator sim{Options{.modelCode = 0, .pacing = false, .liveGauges = false}};
    std::unique_ptr<PtyClient> client;
};

TEST_F(SimulatorProtocol, probe_answersModelCodeByteForByte)
{
    sim.SetEeprom(127, 0x2A);
    const auto answer = client->Transact(MakeRequest(Command::ReadEeprom, 127));
    EXPECT_EQ(answer, (std::vector<std::uint8_t>{0xB5, 0x02, 0x7F, 0x00, 0x2A, 0x00, 0xA0}));
    ASSERT_EQ(sim.Transcript().size(), 1u);
    EXPECT_EQ(Bytes(sim.Transcript()[0]),
              (std::vector<std::uint8_t>{0x5B, 0x02, 0x7F, 0x00, 0x00, 0x00, 0x24}));
}

TEST_F(SimulatorProtocol, reads_answerFromEachMemory)
{
    sim.SetFlash(0x1234, 0xBEEF);
    sim.SetEeprom(0x40, 0x99);
    sim.SetRam(0xFE, 0x11);
    sim.SetRam(0xFF, 0x22);
    sim.SetRam(0x00, 0x33);
    struct Case
    {
        Packet request;
        Packet answer;
    } cases[] = {
        {MakeRequest(Command::ReadFlash, 0x34, 0x12), MakeAnswer(0, 0x34, 0x12, 0xEF, 0xBE)},
        {MakeRequest(Command::ReadEeprom, 0x40), MakeAnswer(2, 0x40, 0, 0x99, 0)},
        // Three bytes from the address on, wrapping at the end of RAM.
        {MakeRequest(Command::ReadRam, 0xFE), MakeAnswer(4, 0xFE, 0x11, 0x22, 0x33)},
    };
    for (const auto& c : cases) {
        const auto answer = client->Transact(c.request);
        EXPECT_EQ(answer, Bytes(c.answer)) << "code " << int(c.request[1]);
        // The received frame's own checksum, summed here rather than by the
        // packet code that built the expected answer: all seven bytes add
        // up to zero.
        ASSERT_EQ(answer.size(), kPacketSize);
        EXPECT_EQ(std::accumulate(answer.begin(), answer.end(), 0u) & 0xFFu, 0u)
            << "code " << int(c.request[1]);
    }
}

TEST_F(SimulatorProtocol, writes_storeWithoutAnswer)
{
    client->Send(MakeRequest(Command::WriteFlash, 0x00, 0x14, 0x07, 0x34));
    client->Send(MakeRequest(Command::WriteEeprom, 0x16, 0, 0x05));
    client->Send(MakeRequest(Command::WriteRam, 0x50, 0, 0x02));
    // The read that follows is answered first: the writes sent nothing.
    const auto answer = client->Transact(MakeRequest(Command::ReadEeprom, 0x16));
    EXPECT_EQ(answer, Bytes(MakeAnswer(2, 0x16, 0, 0x05, 0)));
    EXPECT_EQ(sim.Flash(0x1400), 0x3407);
    EXPECT_EQ(sim.Ram(0x50), 0x02);
    EXPECT_EQ(sim.Transcript().size(), 4u);
}

TEST_F(SimulatorProtocol, badChecksum_isIgnoredAndNotRecorded)
{
    Packet bad = MakeRequest(Command::ReadEeprom, 1);
    bad[6] ^= 0x01;
    client->Send(bad);
    const auto answer = client->Transact(MakeRequest(Command::ReadEeprom, 2));
    EXPECT_EQ(answer[2], 2); // the first answer is the valid request's
    ASSERT_EQ(sim.Transcript().size(), 1u);
    EXPECT_EQ(sim.Transcript()[0][2], 2);
}

TEST_F(SimulatorProtocol, truncatedFrame_resynchronisesOnNextHeader)
{
    // Noise, then a frame cut after five bytes, then a whole probe: the cut
    // frame swallows the probe's first two bytes, fails its checksum, and
    // assembly restarts at the probe's header.
    client->Send(std::vector<std::uint8_t>{0x00, 0xFF, 0x5B, 0x02, 0x10, 0x00, 0x00});
    const auto answer = client->Transact(MakeRequest(Command::ReadEeprom, 127));
    ASSERT_EQ(answer.size(), 7u);
    EXPECT_EQ(answer[2], 127);
    ASSERT_EQ(sim.Transcript().size(), 1u);
    EXPECT_EQ(sim.Transcript()[0], MakeRequest(Command::ReadEeprom, 127));
}

TEST_F(SimulatorProtocol, unknownCode_isRecordedButNotAnswered)
{
    client->Send(MakeRequest(static_cast<Command>(9), 1));
    const auto answer = client->Transact(MakeRequest(Command::ReadEeprom, 3));
    EXPECT_EQ(answer[1], 2);
    EXPECT_EQ(sim.Transcript().size(), 2u);
}

TEST_F(SimulatorProtocol, reset_setsModeByteFromStartAddressWord)
{
    struct Case
    {
        std::uint16_t startWord;
        std::uint8_t mode;
    } cases[] = {{0x2A00, 1}, {0x2A03, 0}, {0x1234, 0xFF}};
    for (const auto& c : cases) {
        client->Send(MakeRequest(Command::WriteFlash, 2, 0, c.startWord & 0xFF, c.startWord >> 8));
        client->Send(MakeRequest(Command::Reset, 0));
        const auto answer = client->Transact(MakeRequest(Command::ReadRam, 0x50));
        ASSERT_EQ(answer.size(), 7u);
        EXPECT_EQ(answer[3], c.mode) << std::hex << c.startWord;
    }
}

TEST_F(SimulatorProtocol, sendRaw_reachesToolVerbatim)
{
    const std::vector<std::uint8_t> strays{0x00, 0x5B, 0xB5, 0xFF, 0x42};
    sim.SendRaw(strays);
    EXPECT_EQ(client->Read(strays.size()), strays);
}

TEST_F(SimulatorProtocol, waitForRequests_timesOutWhenNothingCame)
{
    EXPECT_FALSE(sim.WaitForRequests(1, std::chrono::milliseconds(20)));
    client->Send(MakeRequest(Command::WriteRam, 0x10, 0, 1));
    EXPECT_TRUE(sim.WaitForRequests(1, std::chrono::seconds(2)));
    sim.ClearTranscript();
    EXPECT_TRUE(sim.Transcript().empty());
}

TEST_F(SimulatorProtocol, clientReopens_isServedAgain)
{
    client->Close();
    // With the last client gone the master must neither fail nor spin; a
    // new client is served as before.
    PtyClient again(sim.PortPath());
    ASSERT_TRUE(again.IsOpen());
    EXPECT_EQ(again.Transact(MakeRequest(Command::ReadEeprom, 127)).size(), 7u);
}

TEST_F(SimulatorProtocol, hangUp_endsTheToolsLine)
{
    sim.HangUp();
    pollfd pfd{client->Fd(), POLLIN, 0};
    ASSERT_EQ(poll(&pfd, 1, 2000), 1);
    EXPECT_NE(pfd.revents & (POLLHUP | POLLERR), 0);
    std::uint8_t byte;
    EXPECT_LE(read(client->Fd(), &byte, 1), 0);
}

} // namespace
} // namespace kestrum::sim
