#include "link/controller.h"
#include "tests/support/pty.h"

#include <chrono>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <thread>

// The link against a line the test drives byte by byte, for what a
// well-behaved controller never does: partial frames, strays, late frames.
namespace kestrum {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using test::PtyPair;

constexpr int kTries = 2;
constexpr auto kRetry = 30ms; // where a test waits periods out
// Where answers are expected: never waited out unless something is wrong.
constexpr auto kPatient = 1000ms;
constexpr auto kLong = 2s; // only ever waited out when something is wrong

Bytes Answer(std::uint8_t code, std::uint8_t b2, std::uint8_t b3 = 0, std::uint8_t b4 = 0,
             std::uint8_t b5 = 0)
{
    const Packet p = MakeAnswer(code, b2, b3, b4, b5);
    return {p.begin(), p.end()};
}

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

class WireTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.Valid());
        link.Timings().readWriteTries = kTries;
        SetRetry(kPatient);
        link.Timings().writeDelay = 1;
        link.Timings().resetDelay = 5;
        link.Port().SetName(pty.SlavePath());
        ASSERT_TRUE(link.OpenLink());
    }

    void SetRetry(std::chrono::milliseconds period)
    {
        link.Timings().retryDelay = static_cast<std::uint32_t>(period.count());
    }

    template<class F>
    auto Start(F f)
    {
        return std::async(std::launch::async, [this, f] { return f(link); });
    }

    // The next request on the line, or an empty one when none comes.
    Bytes NextRequest(std::size_t length = kPacketSize)
    {
        return pty.Receive(length, kLong).value_or(Bytes{});
    }

    // Nothing more was sent: the operation has returned, so anything it
    // wrote is already in the line.
    bool LineQuiet() { return !pty.Readable(0ms); }

    int QueuedForTool()
    {
        int queued = -1;
        ::ioctl(pty.SlaveFd(), FIONREAD, &queued);
        return queued;
    }

    PtyPair pty;
    CController link;
};

// The byte read, or 0 when the link gave up.
std::uint8_t ReadEepromOrZero(CController& c, unsigned address)
{
    std::uint8_t byte = 0;
    try {
        return c.ReadEeprom(address, byte) ? byte : 0;
    } catch (const CControllerException&) {
        return 0;
    }
}

struct Exchange
{
    const char* name;
    std::function<std::uint32_t(CController&)> run; // result packed for comparison
    Bytes sent;                                     // exactly what goes on the wire
    Bytes answer;                                   // what the controller answers
    std::uint32_t result;
};

TEST_F(WireTest, everyOperation_sendsItsRequestByteForByte_andTakesItsResult)
{
    const Exchange cases[] = {
        {"ReadFlash",
         [](CController& c) -> std::uint32_t {
             std::uint16_t w = 0;
             return c.ReadFlash(0x1202, w) ? w : 0xFFFFFFFF;
         },
         {0x5B, 0x00, 0x02, 0x12, 0x00, 0x00, 0x91},
         {0xB5, 0x00, 0x02, 0x12, 0x34, 0x56, 0xAD},
         0x5634},
        {"ReadFlashByte",
         [](CController& c) -> std::uint32_t {
             std::uint8_t b = 0;
             return c.ReadFlashByte(0x0003, b) ? b : 0xFFFFFFFF;
         },
         {0x5B, 0x00, 0x03, 0x00, 0x00, 0x00, 0xA2},
         {0xB5, 0x00, 0x03, 0x00, 0x7F, 0x34, 0x95},
         0x7F},
        {"ReadEeprom (probe address)",
         [](CController& c) -> std::uint32_t { return ReadEepromOrZero(c, 0x17F); },
         {0x5B, 0x02, 0x7F, 0x00, 0x00, 0x00, 0x24},
         {0xB5, 0x02, 0x7F, 0x00, 0x2A, 0x00, 0xA0},
         0x2A},
        {"ProbeController",
         [](CController& c) -> std::uint32_t { return c.ProbeController(); },
         {0x5B, 0x02, 0x7F, 0x00, 0x00, 0x00, 0x24},
         {0xB5, 0x02, 0x7F, 0x00, 0x2A, 0x00, 0xA0},
         1},
        {"ReadRam",
         [](CController& c) -> std::uint32_t {
             std::uint8_t r[3] = {};
             return c.ReadRam(0x20, r) ? (r[0] << 16u) | (r[1] << 8u) | r[2] : 0xFFFFFFFF;
         },
         {0x5B, 0x04, 0x20, 0x00, 0x00, 0x00, 0x81},
         {0xB5, 0x04, 0x20, 0x11, 0x22, 0x33, 0xC1},
         0x112233},
        {"WriteFlash",
         [](CController& c) -> std::uint32_t { return c.WriteFlash(0x1234, 0xBEEF); },
         {0x5B, 0x01, 0x34, 0x12, 0xEF, 0xBE, 0xB1, 0x5B, 0x00, 0x34, 0x12, 0x00, 0x00, 0x5F},
         {0xB5, 0x00, 0x34, 0x12, 0xEF, 0xBE, 0x58},
         1},
        {"WriteEeprom",
         [](CController& c) -> std::uint32_t { return c.WriteEeprom(0x1FF, 0x1AB); },
         {0x5B, 0x03, 0xFF, 0x00, 0xAB, 0x00, 0xF8, 0x5B, 0x02, 0xFF, 0x00, 0x00, 0x00, 0xA4},
         {0xB5, 0x02, 0xFF, 0x00, 0xAB, 0x00, 0x9F},
         1},
        {"WriteRam",
         [](CController& c) -> std::uint32_t { return c.WriteRam(0x50, 0x01); },
         {0x5B, 0x06, 0x50, 0x00, 0x01, 0x00, 0x4E, 0x5B, 0x04, 0x50, 0x00, 0x00, 0x00, 0x51},
         {0xB5, 0x04, 0x50, 0x01, 0x77, 0x88, 0xF7},
         1},
        {"ResetController",
         [](CController& c) -> std::uint32_t { return c.ResetController(); },
         {0x5B, 0x05, 0x00, 0x00, 0x00, 0x00, 0xA0},
         {},
         1},
    };
    for (const auto& c : cases) {
        auto done = Start(c.run);
        EXPECT_EQ(NextRequest(c.sent.size()), c.sent) << c.name;
        ASSERT_TRUE(pty.Send(c.answer)) << c.name;
        EXPECT_EQ(done.get(), c.result) << c.name;
        EXPECT_TRUE(LineQuiet()) << c.name;
    }
}

struct JudgedAnswer
{
    const char* name;
    std::function<bool(CController&)> run;
    Bytes first; // answer to the first request
    bool accepted;
};

TEST_F(WireTest, answerAcceptance_byteThreeCountsForFlashOnly_readBacksCompareTheirValue)
{
    const auto readFlash = [](CController& c) {
        std::uint16_t w = 0;
        return c.ReadFlash(0x1202, w);
    };
    const auto readEeprom = [](CController& c) { return ReadEepromOrZero(c, 0x10) != 0; };
    const auto readRam = [](CController& c) {
        std::uint8_t r[3] = {};
        return c.ReadRam(0x20, r);
    };
    const auto writeFlash = [](CController& c) { return c.WriteFlash(0x1234, 0xBEEF); };
    const auto writeEeprom = [](CController& c) { return c.WriteEeprom(0x10, 0xAB); };
    const auto writeRam = [](CController& c) { return c.WriteRam(0x50, 0x01); };

    const JudgedAnswer cases[] = {
        {"flash read, other high byte", readFlash, Answer(0, 0x02, 0x13, 1, 2), false},
        {"flash read, other address", readFlash, Answer(0, 0x03, 0x12, 1, 2), false},
        {"flash read, other code", readFlash, Answer(2, 0x02, 0x12, 1, 2), false},
        {"eeprom read, byte 3 not looked at", readEeprom, Answer(2, 0x10, 0xEE, 1), true},
        {"eeprom read, other address", readEeprom, Answer(2, 0x11, 0, 1), false},
        {"eeprom read, other code", readEeprom, Answer(4, 0x10, 0, 1), false},
        {"ram read, any bytes", readRam, Answer(4, 0x20, 0xEE, 0xDD, 0xCC), true},
        {"ram read, other code", readRam, Answer(0, 0x20, 0, 0, 0), false},
        {"flash read-back, same word", writeFlash, Answer(0, 0x34, 0x12, 0xEF, 0xBE), true},
        {"flash read-back, other low byte", writeFlash, Answer(0, 0x34, 0x12, 0xEE, 0xBE), false},
        {"flash read-back, other high byte", writeFlash, Answer(0, 0x34, 0x12, 0xEF, 0xBF), false},
        {"flash read-back, other address high", writeFlash, Answer(0, 0x34, 0x13, 0xEF, 0xBE),
         false},
        {"eeprom read-back, same byte", writeEeprom, Answer(2, 0x10, 0x99, 0xAB, 0x99), true},
        {"eeprom read-back, other byte", writeEeprom, Answer(2, 0x10, 0, 0xAC), false},
        {"ram read-back, first byte is the value", writeRam, Answer(4, 0x50, 0x01, 0x55, 0x66),
         true},
        {"ram read-back, value only in byte 4", writeRam, Answer(4, 0x50, 0x00, 0x01, 0x00), false},
        {"ram read-back, other address", writeRam, Answer(4, 0x51, 0x01), false},
    };
    for (const auto& c : cases) {
        link.Timings().readWriteTries = 1;
        auto done = Start([run = c.run](CController& l) {
            try {
                return run(l);
            } catch (const CControllerException&) {
                return false;
            }
        });
        const Bytes sent = NextRequest();
        ASSERT_FALSE(sent.empty()) << c.name;
        if (sent[1] == 1 || sent[1] == 3 || sent[1] == 6) {
            ASSERT_EQ(NextRequest().size(), kPacketSize) << c.name; // the read-back
        }
        ASSERT_TRUE(pty.Send(c.first)) << c.name;
        EXPECT_EQ(done.get(), c.accepted) << c.name;
    }
}

TEST_F(WireTest, rejectedAnswer_endsTheAttemptAtOnce_andTheRequestIsSentAgain)
{
    link.Timings().retryDelay = 3000; // waiting the periods out would take 6 s
    auto done = Start([](CController& c) { return ReadEepromOrZero(c, 0x10); });
    const Bytes request = NextRequest();
    ASSERT_TRUE(pty.Send(Answer(2, 0x11, 0, 0x42)));
    // Sent again well before the attempt's wait periods are over.
    EXPECT_EQ(pty.Receive(kPacketSize, 1500ms), request);
    ASSERT_TRUE(pty.Send(Answer(2, 0x10, 0, 0x42)));
    EXPECT_EQ(done.get(), 0x42);
}

TEST_F(WireTest, framesThatWakeNoTransaction_areDropped_theAnswerBehindThemCounts)
{
    const std::pair<const char*, Bytes> noise[] = {
        {"code 1", Answer(1, 0x10, 0, 0x99)},
        {"code 3", Answer(3, 0x10, 0, 0x99)},
        {"code 5", Answer(5, 0x10, 0, 0x99)},
        {"code 6", Answer(6, 0x10, 0, 0x99)},
        {"bad checksum",
         [] {
             Bytes b = Answer(2, 0x10, 0, 0x99);
             b[6] ^= 0x01;
             return b;
         }()},
    };
    for (const auto& [name, frame] : noise) {
        auto done = Start([](CController& c) { return ReadEepromOrZero(c, 0x10); });
        ASSERT_EQ(NextRequest().size(), kPacketSize) << name;
        ASSERT_TRUE(pty.Send(Join({frame, Answer(2, 0x10, 0, 0x42)}))) << name;
        EXPECT_EQ(done.get(), 0x42) << name;
        EXPECT_TRUE(LineQuiet()) << name; // had the noise woken it, it would have asked again
    }
}

TEST_F(WireTest, bytesBetweenTransactions_stayQueuedInThePort)
{
    link.Timings().readWriteTries = 1;
    SetRetry(kRetry);
    std::uint8_t byte = 0;
    // The reader was waiting for a byte when this transaction gave up.
    EXPECT_THROW(link.ReadEeprom(0x10, byte), CControllerException);
    ASSERT_TRUE(pty.Send(Bytes(150, 0x00))); // would end a reader that took them
    std::this_thread::sleep_for(100ms);      // give a wrong reader time to take them
    EXPECT_EQ(QueuedForTool(), 150);
}

TEST_F(WireTest, lateAnswer_isJudgedByTheNextTransaction_rejectedUnlessItMatches)
{
    link.Timings().readWriteTries = 1;
    SetRetry(kRetry);
    std::uint8_t byte = 0;
    EXPECT_THROW(link.ReadEeprom(0x10, byte), CControllerException);
    ASSERT_EQ(NextRequest().size(), kPacketSize);
    ASSERT_TRUE(pty.Send(Answer(2, 0x10, 0, 0x55))); // too late

    // Another address: rejected, so the request goes out again.
    link.Timings().readWriteTries = 2;
    SetRetry(kPatient);
    auto other = Start([](CController& c) { return ReadEepromOrZero(c, 0x20); });
    const Bytes request = NextRequest();
    EXPECT_EQ(NextRequest(), request);
    ASSERT_TRUE(pty.Send(Answer(2, 0x20, 0, 0x66)));
    EXPECT_EQ(other.get(), 0x66);

    // The same address: taken as the answer, without a second request.
    link.Timings().readWriteTries = 1;
    SetRetry(kRetry);
    EXPECT_THROW(link.ReadEeprom(0x30, byte), CControllerException);
    ASSERT_EQ(NextRequest().size(), kPacketSize);
    ASSERT_TRUE(pty.Send(Answer(2, 0x30, 0, 0x77)));
    link.Timings().readWriteTries = 2;
    SetRetry(kPatient);
    EXPECT_EQ(ReadEepromOrZero(link, 0x30), 0x77);
    EXPECT_EQ(NextRequest().size(), kPacketSize);
    EXPECT_TRUE(LineQuiet());
}

TEST_F(WireTest, partialFrame_isCompletedByTheNextBytes_andFailsItsChecksum)
{
    link.Timings().readWriteTries = 1;
    SetRetry(kRetry);
    auto first = Start([](CController& c) { return ReadEepromOrZero(c, 0x10); });
    ASSERT_EQ(NextRequest().size(), kPacketSize);
    ASSERT_TRUE(pty.Send({0xB5, 0x02, 0x10})); // cut short
    EXPECT_EQ(first.get(), 0);

    link.Timings().readWriteTries = 2;
    SetRetry(200ms);
    auto second = Start([](CController& c) { return ReadEepromOrZero(c, 0x20); });
    const Bytes request = NextRequest();
    // Its first 4 bytes finish the old frame; the rest are strays.
    ASSERT_TRUE(pty.Send(Answer(2, 0x20, 0, 0x66)));
    EXPECT_EQ(NextRequest(), request);
    ASSERT_TRUE(pty.Send(Answer(2, 0x20, 0, 0x66)));
    EXPECT_EQ(second.get(), 0x66);
}

TEST_F(WireTest, strayCount_survivesTransactions_andOnlyAHeaderResetsIt)
{
    link.Timings().readWriteTries = 1;
    // 60 strays, answered properly: the header clears the count.
    auto one = Start([](CController& c) { return ReadEepromOrZero(c, 0x10); });
    ASSERT_EQ(NextRequest().size(), kPacketSize);
    ASSERT_TRUE(pty.Send(Join({Bytes(60, 0x00), Answer(2, 0x10, 0, 1)})));
    EXPECT_EQ(one.get(), 1);

    // 60 strays with no answer, then 41 more in the next transaction: 101.
    SetRetry(kRetry);
    auto two = Start([](CController& c) { return ReadEepromOrZero(c, 0x10); });
    ASSERT_EQ(NextRequest().size(), kPacketSize);
    ASSERT_TRUE(pty.Send(Bytes(60, 0x00)));
    EXPECT_EQ(two.get(), 0);

    auto three = Start([](CController& c) { return ReadEepromOrZero(c, 0x10); });
    ASSERT_EQ(NextRequest().size(), kPacketSize);
    ASSERT_TRUE(pty.Send(Join({Bytes(41, 0x00), Answer(2, 0x10, 0, 1)})));
    EXPECT_EQ(three.get(), 0);

    // The reader has ended: even a proper answer is no longer heard.
    auto four = Start([](CController& c) { return ReadEepromOrZero(c, 0x10); });
    ASSERT_EQ(NextRequest().size(), kPacketSize);
    ASSERT_TRUE(pty.Send(Answer(2, 0x10, 0, 1)));
    EXPECT_EQ(four.get(), 0);
}

} // namespace
} // namespace kestrum
