// The Win32 serial port end to end: CreateFile on \\.\COMn, SetCommState,
// overlapped ReadFile and WriteFile, purge and close, against the simulator
// running natively on the build machine. The COM names are Wine's: entries of
// the prefix's dosdevices folder that point at the simulator's
// pseudo-terminals. Wine is not the Windows serial driver, so this proves our
// calls and their order, not a driver's timing or its quirks.
#include "link/controller.h"
#include "link/serial_port.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace kestrum {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kAtOnce = std::chrono::milliseconds(1000);

// Set by scripts/wine_tests.sh: a COM name where the simulator answers, one
// where a simulator listens but never answers, and one whose line hangs up
// after the first byte written to it. COM199 is mapped to nothing.
std::string PortFromEnvironment(const char* variable)
{
    const char* value = std::getenv(variable);
    return value != nullptr ? value : "";
}

class WinePort : public ::testing::Test
{
protected:
    void SetUp() override
    {
        answering = PortFromEnvironment("KESTRUM_WINE_ANSWERING_PORT");
        silent = PortFromEnvironment("KESTRUM_WINE_SILENT_PORT");
        hangingUp = PortFromEnvironment("KESTRUM_WINE_HANGUP_PORT");
        if (answering.empty() || silent.empty() || hangingUp.empty())
            GTEST_SKIP() << "run by scripts/wine_tests.sh, which maps the simulator's ports";
    }

    // Short waits, so that a silent controller costs milliseconds.
    static bool OpenFast(CController& link, const std::string& port)
    {
        link.Timings().readWriteTries = 3;
        link.Timings().retryDelay = 100;
        link.Timings().writeDelay = 1;
        link.Port().SetName(port);
        return link.OpenLink();
    }

    std::string answering;
    std::string silent;
    std::string hangingUp;
};

// Every byte value goes out in a request and comes back in an answer, so
// the line settings leave no byte altered, swallowed or translated (XON and
// XOFF above all: their characters are set, their flow control is not).
TEST_F(WinePort, everyByteValue_writtenAndReadBackUnchanged)
{
    CController link;
    ASSERT_TRUE(OpenFast(link, answering));
    constexpr unsigned kScratchAddress = 100;
    for (unsigned value = 0; value < 256; ++value) {
        ASSERT_TRUE(link.WriteEeprom(kScratchAddress, value)) << value;
        std::uint8_t back = 0;
        ASSERT_TRUE(link.ReadEeprom(kScratchAddress, back)) << value;
        ASSERT_EQ(back, value);
    }
}

// Not tested here: a second opener of a held port. Windows' serial driver
// refuses it; Wine hands out a second handle to the same device.

TEST_F(WinePort, closeAndReopen_linkAnswersAgain)
{
    CController link;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(OpenFast(link, answering)) << round;
        EXPECT_TRUE(link.ProbeController()) << round;
        EXPECT_TRUE(link.Port().Close());
        EXPECT_FALSE(link.IsPortOpen());
    }
}

TEST_F(WinePort, pinnedSearch_skipsUnmappedAndSilentPorts_findsTheController)
{
    const std::string pinned = "COM199;" + silent + ";" + answering;
    _putenv_s("KESTRUM_PORTS", pinned.c_str());
    CController link;
    link.Timings().retryDelay = 100;
    int told = 0;
    link.SetNotifier([&](const std::string&) { ++told; });
    EXPECT_TRUE(link.LocateController());
    _putenv_s("KESTRUM_PORTS", "");
    EXPECT_EQ(link.Port().Name(), answering);
    EXPECT_EQ(told, 0);
}

// Wine does not implement the "wait for the first byte" time-out setting and
// never ends the read itself; the port's own guard, a second later, does.
TEST_F(WinePort, silentLine_readReportsNoByteAfterItsTimeout_notAFailure)
{
    CSerialPort port;
    port.SetName(silent);
    ASSERT_TRUE(port.Open());
    std::uint8_t byte = 0;
    const auto start = Clock::now();
    EXPECT_EQ(port.ReadByte(byte), ReadResult::NoByte);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(CSerialPort::kReadTimeoutMs - 100));
    EXPECT_LT(took, std::chrono::milliseconds(CSerialPort::kReadTimeoutMs + 1000) + kAtOnce);
}

// An adapter pulled out mid-run: the read must fail at once, since a read
// that reported "no byte" at once would be repeated by the reader forever.
TEST_F(WinePort, lineHangsUp_readFailsAtOnce)
{
    CSerialPort port;
    port.SetName(hangingUp);
    ASSERT_TRUE(port.Open());
    const std::uint8_t request = 0x5B;
    ASSERT_EQ(port.Write(&request, 1), 1u); // the far end hangs up on it
    std::uint8_t byte = 0;
    const auto start = Clock::now();
    ReadResult result;
    while ((result = port.ReadByte(byte)) == ReadResult::NoByte && Clock::now() - start < kAtOnce) {
    }
    EXPECT_EQ(result, ReadResult::Failure);
    EXPECT_LT(Clock::now() - start, kAtOnce);
    EXPECT_TRUE(port.Close());
}

TEST_F(WinePort, wakeReader_endsAPendingReadAtOnce_withNoByte)
{
    CSerialPort port;
    port.SetName(silent);
    ASSERT_TRUE(port.Open());
    std::promise<void> reading;
    auto pending = std::async(std::launch::async, [&] {
        std::uint8_t byte = 0;
        reading.set_value();
        return port.ReadByte(byte);
    });
    reading.get_future().wait();
    port.WakeReader();
    ASSERT_EQ(pending.wait_for(kAtOnce), std::future_status::ready);
    EXPECT_EQ(pending.get(), ReadResult::NoByte);
}

TEST_F(WinePort, stopReader_whileReaderWaitsForAByte_endsItAtOnce)
{
    CSerialPort port;
    port.SetName(silent);
    ASSERT_TRUE(port.Open());
    struct Reader
    {
        CSerialPort* port;
        std::promise<ReadResult> last;
        std::promise<void> started;
    } reader{&port, {}, {}};
    auto last = reader.last.get_future();
    auto started = reader.started.get_future();
    ASSERT_TRUE(port.StartReader(
        [](void* arg) {
            auto* r = static_cast<Reader*>(arg);
            r->started.set_value();
            std::uint8_t byte = 0;
            ReadResult result;
            while ((result = r->port->ReadByte(byte)) != ReadResult::Failure) {
            }
            r->last.set_value(result);
        },
        &reader));
    started.wait();
    const auto start = Clock::now();
    port.StopReader();
    EXPECT_LT(Clock::now() - start, kAtOnce);
    ASSERT_EQ(last.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    EXPECT_EQ(last.get(), ReadResult::Failure);

    // The stop was cleared with the reader gone: a wake now is a plain wake.
    std::uint8_t byte = 0;
    port.WakeReader();
    EXPECT_EQ(port.ReadByte(byte), ReadResult::NoByte);
}

} // namespace
} // namespace kestrum
