#include "link/controller.h"
#include "sim/simulator.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <thread>

// The link against the simulated controller over a real pseudo-terminal.
namespace kestrum {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kTries = 3;
constexpr auto kRetry = 25ms; // where a test waits periods out
// Where answers are expected: never waited out unless something is wrong,
// so a loaded machine cannot turn a slow answer into a retry.
constexpr auto kPatient = 1000ms;
constexpr auto kWriteDelay = 5ms;
constexpr auto kResetDelay = 40ms;

Packet Request(Command code, std::uint8_t b2, std::uint8_t b3 = 0, std::uint8_t b4 = 0,
               std::uint8_t b5 = 0)
{
    return MakeRequest(code, b2, b3, b4, b5);
}

std::vector<Packet> Repeated(const std::vector<Packet>& group, int times)
{
    std::vector<Packet> all;
    for (int i = 0; i < times; ++i)
        all.insert(all.end(), group.begin(), group.end());
    return all;
}

class LinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        SetTries(kTries);
        SetRetry(kPatient);
        link.Timings().writeDelay = static_cast<std::uint32_t>(kWriteDelay.count());
        link.Timings().resetDelay = static_cast<std::uint32_t>(kResetDelay.count());
        link.Port().SetName(sim.PortPath());
        ASSERT_TRUE(link.OpenLink());
    }

    void SetTries(int tries) { link.Timings().readWriteTries = tries; }
    void SetRetry(std::chrono::milliseconds period)
    {
        link.Timings().retryDelay = static_cast<std::uint32_t>(period.count());
    }

    // The requests the simulator has received, once `count` have arrived.
    std::vector<Packet> Sent(std::size_t count)
    {
        EXPECT_TRUE(sim.WaitForRequests(count, 2s));
        return sim.Transcript();
    }

    sim::Simulator sim{sim::Options{.modelCode = 0, .pacing = false, .liveGauges = false}};
    CController link;
};

TEST_F(LinkTest, reads_returnTheControllersMemory_withOneRequestEach)
{
    sim.SetFlash(0x1202, 0xBEEF);
    sim.SetFlash(0x0100, 0x3480);
    sim.SetEeprom(0x30, 0x12);
    sim.SetEeprom(0x31, 0x34);
    sim.SetRam(0x20, 0x11);
    sim.SetRam(0x21, 0x22);
    sim.SetRam(0x22, 0x33);

    std::uint16_t word = 0;
    EXPECT_TRUE(link.ReadFlash(0x1202, word));
    EXPECT_EQ(word, 0xBEEF);
    std::uint8_t byte = 0;
    EXPECT_TRUE(link.ReadFlashByte(0x0100, byte));
    EXPECT_EQ(byte, 0x80);
    EXPECT_TRUE(link.ReadEeprom(0x30, byte));
    EXPECT_EQ(byte, 0x12);
    std::uint16_t value = 0;
    EXPECT_TRUE(link.ReadEepromWord(0x30, value));
    EXPECT_EQ(value, 0x3412);
    std::uint8_t ram[3] = {};
    EXPECT_TRUE(link.ReadRam(0x20, ram));
    EXPECT_EQ(ram[0], 0x11);
    EXPECT_EQ(ram[1], 0x22);
    EXPECT_EQ(ram[2], 0x33);

    EXPECT_EQ(sim.Transcript(), (std::vector<Packet>{
                                    Request(Command::ReadFlash, 0x02, 0x12),
                                    Request(Command::ReadFlash, 0x00, 0x01),
                                    Request(Command::ReadEeprom, 0x30),
                                    Request(Command::ReadEeprom, 0x30),
                                    Request(Command::ReadEeprom, 0x31),
                                    Request(Command::ReadRam, 0x20),
                                }));
}

TEST_F(LinkTest, writes_reachTheController_eachFollowedByItsReadBack)
{
    EXPECT_TRUE(link.WriteFlash(0x1234, 0xBEEF));
    EXPECT_TRUE(link.WriteEeprom(0x04, 0x5A));
    EXPECT_TRUE(link.WriteRam(0x50, 0x01));

    EXPECT_EQ(sim.Flash(0x1234), 0xBEEF);
    EXPECT_EQ(sim.Eeprom(0x04), 0x5A);
    EXPECT_EQ(sim.Ram(0x50), 0x01);
    EXPECT_EQ(sim.Transcript(), (std::vector<Packet>{
                                    Request(Command::WriteFlash, 0x34, 0x12, 0xEF, 0xBE),
                                    Request(Command::ReadFlash, 0x34, 0x12),
                                    Request(Command::WriteEeprom, 0x04, 0, 0x5A),
                                    Request(Command::ReadEeprom, 0x04),
                                    Request(Command::WriteRam, 0x50, 0, 0x01),
                                    Request(Command::ReadRam, 0x50),
                                }));
}

TEST_F(LinkTest, readEepromWordAt255_readsAddress255Then0)
{
    sim.SetEeprom(255, 0xCD);
    sim.SetEeprom(0, 0xAB);
    std::uint16_t value = 0;
    EXPECT_TRUE(link.ReadEepromWord(255, value));
    EXPECT_EQ(value, 0xABCD);
    EXPECT_EQ(sim.Transcript(), (std::vector<Packet>{Request(Command::ReadEeprom, 255),
                                                     Request(Command::ReadEeprom, 0)}));
}

TEST_F(LinkTest, widerArguments_areCutToTheirLow8Bits)
{
    EXPECT_TRUE(link.WriteEeprom(0x1FF, 0x1AB));
    EXPECT_TRUE(link.WriteRam(0x140, 0x2CD));
    std::uint8_t byte = 0;
    EXPECT_TRUE(link.ReadEeprom(0x17F, byte));
    std::uint8_t ram[3] = {};
    EXPECT_TRUE(link.ReadRam(0x340, ram));

    EXPECT_EQ(sim.Eeprom(0xFF), 0xAB);
    EXPECT_EQ(sim.Ram(0x40), 0xCD);
    EXPECT_EQ(sim.Transcript(), (std::vector<Packet>{
                                    Request(Command::WriteEeprom, 0xFF, 0, 0xAB),
                                    Request(Command::ReadEeprom, 0xFF),
                                    Request(Command::WriteRam, 0x40, 0, 0xCD),
                                    Request(Command::ReadRam, 0x40),
                                    Request(Command::ReadEeprom, 0x7F),
                                    Request(Command::ReadRam, 0x40),
                                }));
}

TEST_F(LinkTest, resetController_sendsResetAndWaitsOnlyTheResetDelay)
{
    sim.SetFlash(2, 0x2A00); // a reset now starts the bootloader
    sim.SetRam(0x50, 0);
    const auto start = Clock::now();
    EXPECT_TRUE(link.ResetController());
    const auto took = Clock::now() - start;
    EXPECT_GE(took, kResetDelay);
    EXPECT_LT(took, kPatient); // no answer awaited

    EXPECT_EQ(Sent(1), std::vector<Packet>{Request(Command::Reset, 0)});
    EXPECT_EQ(sim.Ram(0x50), 1);
}

TEST_F(LinkTest, resetController_onASilentOrGoneController_neverRaises)
{
    sim.SetFaults({.silent = true});
    EXPECT_NO_THROW(EXPECT_TRUE(link.ResetController()));
    sim.HangUp();
    EXPECT_NO_THROW(EXPECT_FALSE(link.ResetController()));
}

TEST_F(LinkTest, probe_readsTheModelCode_andIsQuietWhenUnanswered)
{
    EXPECT_TRUE(link.ProbeController());

    sim.SetFaults({.silent = true});
    SetRetry(kRetry);
    const auto start = Clock::now();
    bool answered = true;
    EXPECT_NO_THROW(answered = link.ProbeController());
    EXPECT_FALSE(answered);
    EXPECT_GE(Clock::now() - start, kRetry);

    // One send, not one per attempt: the marker follows at once.
    sim.SetFaults({});
    SetRetry(kPatient);
    std::uint8_t byte = 0;
    EXPECT_TRUE(link.ReadEeprom(0x01, byte));
    EXPECT_EQ(sim.Transcript(), (std::vector<Packet>{Request(Command::ReadEeprom, 127),
                                                     Request(Command::ReadEeprom, 127),
                                                     Request(Command::ReadEeprom, 0x01)}));
}

struct Operation
{
    const char* name;
    std::function<bool(CController&)> run;
    std::vector<Packet> onePass; // what one attempt sends
};

std::vector<Operation> AllRaisingOperations()
{
    return {
        {"ReadFlash",
         [](CController& c) {
             std::uint16_t w = 0;
             return c.ReadFlash(0x1202, w);
         },
         {Request(Command::ReadFlash, 0x02, 0x12)}},
        {"ReadFlashByte",
         [](CController& c) {
             std::uint8_t b = 0;
             return c.ReadFlashByte(0x0003, b);
         },
         {Request(Command::ReadFlash, 0x03, 0x00)}},
        {"ReadEeprom",
         [](CController& c) {
             std::uint8_t b = 0;
             return c.ReadEeprom(0x10, b);
         },
         {Request(Command::ReadEeprom, 0x10)}},
        {"ReadEepromWord",
         [](CController& c) {
             std::uint16_t v = 0;
             return c.ReadEepromWord(0x10, v);
         },
         {Request(Command::ReadEeprom, 0x10)}},
        {"ReadRam",
         [](CController& c) {
             std::uint8_t r[3] = {};
             return c.ReadRam(0x2C, r);
         },
         {Request(Command::ReadRam, 0x2C)}},
        {"WriteFlash",
         [](CController& c) { return c.WriteFlash(0x0400, 0x3455); },
         {Request(Command::WriteFlash, 0x00, 0x04, 0x55, 0x34),
          Request(Command::ReadFlash, 0x00, 0x04)}},
        {"WriteEeprom",
         [](CController& c) { return c.WriteEeprom(0x09, 0x77); },
         {Request(Command::WriteEeprom, 0x09, 0, 0x77), Request(Command::ReadEeprom, 0x09)}},
        {"WriteRam",
         [](CController& c) { return c.WriteRam(0x51, 0x66); },
         {Request(Command::WriteRam, 0x51, 0, 0x66), Request(Command::ReadRam, 0x51)}},
    };
}

bool IsWrite(const Operation& op)
{
    return op.onePass.size() == 2;
}

TEST_F(LinkTest, silentController_everyOperationRaisesAfterAllAttemptsAndWaits)
{
    sim.SetFaults({.silent = true});
    SetRetry(kRetry);
    for (const auto& op : AllRaisingOperations()) {
        sim.ClearTranscript();
        const auto start = Clock::now();
        EXPECT_THROW(op.run(link), CControllerException) << op.name;
        const auto took = Clock::now() - start;
        // attempts x attempts x retry delay; a write adds a write delay per attempt
        const auto least = kTries * ((IsWrite(op) ? kWriteDelay : 0ms) + kTries * kRetry);
        EXPECT_GE(took, least) << op.name;
        EXPECT_EQ(Sent(kTries * op.onePass.size()), Repeated(op.onePass, kTries)) << op.name;
    }
}

struct FaultCase
{
    const char* name;
    sim::Faults faults;
};

TEST_F(LinkTest, wrongAnswers_repeatTheRequestEveryAttempt_thenRaise)
{
    const FaultCase cases[] = {
        {"wrong code", {.wrongCode = true}},
        {"wrong address", {.wrongAddress = true}},
        {"bad checksum", {.corruptEvery = 1}},
    };
    SetRetry(kRetry);
    for (const auto& c : cases) {
        sim.SetFaults(c.faults);
        for (const auto& op : AllRaisingOperations()) {
            sim.ClearTranscript();
            EXPECT_THROW(op.run(link), CControllerException) << c.name << " " << op.name;
            EXPECT_EQ(Sent(kTries * op.onePass.size()), Repeated(op.onePass, kTries))
                << c.name << " " << op.name;
        }
    }
}

TEST_F(LinkTest, flashAnswerWithAnotherAddressHighByte_isRejected)
{
    sim.SetFaults({.wrongAddressHigh = true});
    std::uint16_t word = 0;
    EXPECT_THROW(link.ReadFlash(0x1202, word), CControllerException);
    EXPECT_EQ(Sent(kTries), Repeated({Request(Command::ReadFlash, 0x02, 0x12)}, kTries));

    // EEPROM and RAM answers are not judged on byte 3.
    sim.ClearTranscript();
    std::uint8_t ram[3] = {};
    EXPECT_TRUE(link.ReadRam(0x20, ram));
    EXPECT_EQ(sim.Transcript().size(), 1u);
}

TEST_F(LinkTest, readBackWithAnotherValue_repeatsTheWholeWrite_thenRaises)
{
    sim.SetFaults({.wrongValue = true});
    for (const auto& op : AllRaisingOperations()) {
        if (!IsWrite(op))
            continue;
        sim.ClearTranscript();
        EXPECT_THROW(op.run(link), CControllerException) << op.name;
        EXPECT_EQ(Sent(2 * kTries), Repeated(op.onePass, kTries)) << op.name;
    }
}

TEST_F(LinkTest, lostAnswers_areRetried_andTheOperationSucceeds)
{
    sim.SetEeprom(0x10, 0x42);
    SetRetry(100ms);
    sim.SetFaults({.dropFirst = 1});
    std::uint8_t byte = 0;
    EXPECT_TRUE(link.ReadEeprom(0x10, byte));
    EXPECT_EQ(byte, 0x42);
    EXPECT_EQ(sim.Transcript(), Repeated({Request(Command::ReadEeprom, 0x10)}, 2));

    sim.ClearTranscript();
    sim.SetFaults({.dropFirst = 1});
    EXPECT_TRUE(link.WriteEeprom(0x11, 0x24));
    EXPECT_EQ(sim.Transcript(), Repeated({Request(Command::WriteEeprom, 0x11, 0, 0x24),
                                          Request(Command::ReadEeprom, 0x11)},
                                         2));
}

TEST_F(LinkTest, attemptsZeroOrLess_readsReturnFalse_ramReadAndWritesRaise_nothingSent)
{
    for (const int tries : {0, -1}) {
        SetTries(tries);
        for (const auto& op : AllRaisingOperations()) {
            const bool raises = op.name == std::string("ReadRam") || IsWrite(op);
            if (raises) {
                EXPECT_THROW(op.run(link), CControllerException) << op.name << " " << tries;
            } else {
                bool result = true;
                EXPECT_NO_THROW(result = op.run(link)) << op.name << " " << tries;
                EXPECT_FALSE(result) << op.name << " " << tries;
            }
        }
    }
    // The simulator handles requests in order: had anything gone out, it
    // would stand before this marker.
    SetTries(1);
    std::uint8_t byte = 0;
    EXPECT_TRUE(link.ReadEeprom(0x22, byte));
    EXPECT_EQ(sim.Transcript(), std::vector<Packet>{Request(Command::ReadEeprom, 0x22)});
}

TEST_F(LinkTest, hundredStrayBytes_areTolerated)
{
    sim.SetEeprom(0x10, 0x42);
    sim.SendRaw(std::vector<std::uint8_t>(100, 0x00));
    std::uint8_t byte = 0;
    EXPECT_TRUE(link.ReadEeprom(0x10, byte));
    EXPECT_EQ(byte, 0x42);
}

TEST_F(LinkTest, hundredAndOneStrayBytes_endTheReader_untilTheLinkIsReopened)
{
    SetRetry(kRetry);
    sim.SendRaw(std::vector<std::uint8_t>(101, 0x5B));
    std::uint8_t byte = 0;
    EXPECT_THROW(link.ReadEeprom(0x10, byte), CControllerException);
    EXPECT_TRUE(link.IsPortOpen()); // deaf, not closed
    EXPECT_THROW(link.ReadEeprom(0x10, byte), CControllerException);
    EXPECT_FALSE(link.ProbeController());

    ASSERT_TRUE(link.OpenLink());
    SetRetry(kPatient);
    sim.SetEeprom(0x10, 0x42);
    EXPECT_TRUE(link.ReadEeprom(0x10, byte));
    EXPECT_EQ(byte, 0x42);
}

TEST_F(LinkTest, lateAnswer_isSeenAndRejectedByTheNextTransaction)
{
    SetTries(1);
    SetRetry(kRetry);
    sim.SetFaults({.silent = true});
    std::uint8_t byte = 0;
    EXPECT_THROW(link.ReadEeprom(0x10, byte), CControllerException);
    // The answer to the given-up request arrives between transactions.
    const Packet late = MakeAnswer(2, 0x10, 0, 0x55, 0);
    sim.SendRaw({late.begin(), late.end()});

    sim.SetEeprom(0x20, 0x99);
    // Its own answers come well after the queued late frame.
    sim.SetFaults({.answerDelay = 4 * kRetry});
    SetTries(2);
    SetRetry(12 * kRetry);
    EXPECT_TRUE(link.ReadEeprom(0x20, byte));
    EXPECT_EQ(byte, 0x99);
    // The link may accept the first request's delayed answer before the
    // simulator has taken the repeated request off the line.
    EXPECT_TRUE(sim.WaitForRequests(3, std::chrono::seconds(5)));
    EXPECT_EQ(sim.Transcript(), (std::vector<Packet>{Request(Command::ReadEeprom, 0x10),
                                                     Request(Command::ReadEeprom, 0x20),
                                                     Request(Command::ReadEeprom, 0x20)}));
}

TEST_F(LinkTest, hangUp_endsTheReader_operationsRaise_noHang)
{
    SetRetry(kRetry);
    sim.HangUp();
    std::uint8_t byte = 0;
    EXPECT_THROW(link.ReadEeprom(0x10, byte), CControllerException);
    EXPECT_THROW(link.WriteEeprom(0x10, 1), CControllerException);
    EXPECT_FALSE(link.ProbeController());
}

TEST_F(LinkTest, closedPort_operationsSendNothingAndRaise)
{
    SetRetry(kRetry);
    link.Port().Close();
    std::uint8_t byte = 0;
    EXPECT_THROW(link.ReadEeprom(0x10, byte), CControllerException);
    EXPECT_FALSE(link.ProbeController());

    // Reopened under the same name, the link works again.
    ASSERT_TRUE(link.OpenLink());
    SetRetry(kPatient);
    EXPECT_TRUE(link.ReadEeprom(0x10, byte));
    EXPECT_EQ(sim.Transcript(), std::vector<Packet>{Request(Command::ReadEeprom, 0x10)});
}

TEST_F(LinkTest, closeWhileTheReaderIdles_returnsAtOnce)
{
    std::uint8_t byte = 0;
    EXPECT_TRUE(link.ReadEeprom(0x10, byte));
    const auto start = Clock::now();
    link.Port().Close();
    EXPECT_LT(Clock::now() - start, 1s); // a reader stuck in a read would take 5 s
}

TEST_F(LinkTest, twoThreads_transactionsNeverInterleave)
{
    for (int a = 0; a < 64; ++a)
        sim.SetEeprom(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(a * 3));
    constexpr int kEach = 40;
    auto worker = [&](int first) {
        int good = 0;
        for (int i = 0; i < kEach; ++i) {
            const unsigned address = static_cast<unsigned>((first + i) % 64);
            std::uint8_t byte = 0;
            if (link.ReadEeprom(address, byte) && byte == static_cast<std::uint8_t>(address * 3))
                ++good;
        }
        return good;
    };
    auto other = std::async(std::launch::async, worker, 32);
    EXPECT_EQ(worker(0), kEach);
    EXPECT_EQ(other.get(), kEach);
    // Every request arrived whole and none was repeated.
    EXPECT_EQ(sim.Transcript().size(), 2u * kEach);
}

// A read queued behind another thread's transaction runs with the timings in
// force when it gets the link, read once: attempts set to 0 meanwhile make it
// fail quietly without sending, never raise half-way.
TEST_F(LinkTest, readQueuedBehindATransaction_usesTheTimingsInForceWhenItRuns)
{
    SetTries(2);
    SetRetry(kRetry);
    sim.SetFaults({.silent = true});
    auto first = std::async(std::launch::async, [&] {
        std::uint8_t byte = 0;
        EXPECT_THROW(link.ReadEeprom(0x10, byte), CControllerException);
    });
    ASSERT_TRUE(sim.WaitForRequests(1, 2s)); // the first holds the link now
    auto queued = std::async(std::launch::async, [&] {
        std::uint8_t byte = 0;
        return link.ReadEeprom(0x20, byte);
    });
    // Give the queued read time to be inside the call, waiting for the lock;
    // were it judged too early, this test could only pass wrongly, not fail.
    std::this_thread::sleep_for(20ms);
    SetTries(0);
    first.get();
    bool result = true;
    EXPECT_NO_THROW(result = queued.get());
    EXPECT_FALSE(result);
    for (const Packet& request : sim.Transcript())
        EXPECT_EQ(request[2], 0x10) << "the queued read sent a request";
}

// The Monitor's worker transacts while the user-interface thread searches
// again: renaming, closing and reopening happen outside the link's lock, so
// the worker may meet a closed port. It fails cleanly, nothing hangs, and
// the reopened link works.
TEST_F(LinkTest, workerTransactions_whileThePortIsReopened_failCleanly_linkRecovers)
{
    SetRetry(kRetry);
    std::atomic<bool> done{false};
    auto worker = std::async(std::launch::async, [&] {
        while (!done) {
            std::uint8_t byte = 0;
            try {
                link.ReadEeprom(127, byte);
            } catch (const CControllerException&) {
            }
        }
    });
    for (int i = 0; i < 40; ++i) {
        link.Port().SetName(sim.PortPath());
        EXPECT_TRUE(link.OpenLink());
    }
    done = true;
    ASSERT_EQ(worker.wait_for(10s), std::future_status::ready);

    SetRetry(kPatient);
    std::uint8_t byte = 0;
    EXPECT_TRUE(link.ReadEeprom(127, byte));
    EXPECT_EQ(byte, sim.Eeprom(127));
}

// A run killed in the middle of a transaction leaves answers on the line:
// waiting in the port's input when the next run opens it, or arriving just
// after its probe went out. Either way the single probe finds the controller.
TEST(LinkStaleFrames, answersLeftOnTheLine_neverHideTheControllerFromTheProbe)
{
    const Packet stale = MakeAnswer(2, 0x04, 0, 0x5A, 0);
    for (const bool beforeOpen : {true, false}) {
        SCOPED_TRACE(beforeOpen ? "waiting before the open" : "arriving after the probe");
        std::atomic<bool> first{true}; // outlives the simulator that calls the observer
        sim::Simulator sim{sim::Options{.modelCode = 0, .pacing = false, .liveGauges = false}};
        ASSERT_TRUE(sim.Start());
        CController link;
        link.Timings().readWriteTries = 1;
        link.Timings().retryDelay = static_cast<std::uint32_t>(kPatient.count());
        link.Port().SetName(sim.PortPath());
        if (beforeOpen) {
            sim.SendRaw({stale.begin(), stale.end()});
            sim.SendRaw({stale.begin(), stale.end()});
        } else {
            sim.SetRequestObserver([&](const Packet&) {
                if (first.exchange(false))
                    sim.SendRaw({stale.begin(), stale.end()});
            });
        }
        ASSERT_TRUE(link.OpenLink());

        EXPECT_TRUE(link.ProbeController());
        std::uint8_t model = 0xFF;
        EXPECT_NO_THROW(EXPECT_TRUE(link.ReadEeprom(127, model)));
        EXPECT_EQ(model, sim.Eeprom(127));
        EXPECT_EQ(sim.Transcript().size(), 2u); // the probe was sent once
        sim.SetRequestObserver({});
    }
}

TEST(ControllerException, tellsTheTextEveryFrontEndShows)
{
    EXPECT_STREQ(CControllerException().what(), NotRespondingText());
    EXPECT_STREQ(NotRespondingText(), "Motor controller is not responding");
}

} // namespace
} // namespace kestrum
