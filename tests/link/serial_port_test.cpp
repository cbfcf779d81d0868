#include "link/serial_port.h"
#include "tests/support/pty.h"

#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>

namespace kestrum {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::PtyPair;

// Far below the 5-second read time-out, far above any scheduling delay.
constexpr auto kAtOnce = 1500ms;

class SerialPortTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.Valid());
        port.SetName(pty.SlavePath());
        ASSERT_TRUE(port.Open());
    }

    PtyPair pty;
    CSerialPort port;
};

// A reader that reads until the port fails, counting its reads.
struct CountingReader
{
    CSerialPort* port = nullptr;
    std::atomic<int> reads{0};
    std::promise<void> started;
    std::promise<ReadResult> last;

    static void Run(void* arg)
    {
        auto& self = *static_cast<CountingReader*>(arg);
        ReadResult result = ReadResult::NoByte;
        self.started.set_value();
        while (result != ReadResult::Failure) {
            std::uint8_t byte = 0;
            result = self.port->ReadByte(byte);
            ++self.reads;
        }
        self.last.set_value(result);
    }
};

TEST(SerialPortClosed, missingName_openFails_portStaysClosed)
{
    CSerialPort port;
    port.SetName("/dev/kestrum-no-such-port");
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPortClosed, notATerminal_openFails_portStaysClosed)
{
    CSerialPort port;
    port.SetName("/dev/null");
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPortClosed, closeOnClosedPort_returnsTrue_readFails_writeWritesNothing)
{
    CSerialPort port;
    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.IsOpen());
    std::uint8_t byte = 0;
    EXPECT_EQ(port.ReadByte(byte), ReadResult::Failure);
    const std::uint8_t data[3] = {1, 2, 3};
    EXPECT_EQ(port.Write(data, sizeof data), 0u);
    EXPECT_EQ(port.StopReader(), 0);
}

TEST_F(SerialPortTest, secondOpener_fails_firstKeepsWorking)
{
    CSerialPort second;
    second.SetName(pty.SlavePath());
    EXPECT_FALSE(second.Open());
    EXPECT_FALSE(second.IsOpen());

    const std::uint8_t data[2] = {0x5B, 0x02};
    EXPECT_EQ(port.Write(data, 2), 2u);
    EXPECT_EQ(pty.Receive(2, kAtOnce), (std::vector<std::uint8_t>{0x5B, 0x02}));

    // Once the first lets go, the port can be taken again.
    port.Close();
    EXPECT_TRUE(second.Open());
}

TEST_F(SerialPortTest, open_setsRaw9600EightNoneOneWithoutFlowControl)
{
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.SlaveFd(), &t), 0);
    EXPECT_EQ(::cfgetispeed(&t), B9600);
    EXPECT_EQ(::cfgetospeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
}

TEST_F(SerialPortTest, everyByteValue_passesUnchangedBothWays)
{
    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i)
        all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);

    EXPECT_EQ(port.Write(all.data(), all.size()), all.size());
    EXPECT_EQ(pty.Receive(all.size(), kAtOnce), all);

    ASSERT_TRUE(pty.Send(all));
    for (int i = 0; i < 256; ++i) {
        std::uint8_t byte = 0;
        ASSERT_EQ(port.ReadByte(byte), ReadResult::Byte) << i;
        EXPECT_EQ(byte, i);
    }
}

TEST_F(SerialPortTest, lineThatTakesNoMoreBytes_endsTheWriteAfterTheStallLimit)
{
    // Nobody reads the other end, so the line fills up and stops taking bytes.
    const std::vector<std::uint8_t> block(4096, 0x5B);
    constexpr auto kStall = std::chrono::milliseconds(CSerialPort::kWriteStallMs);
    std::size_t written = block.size();
    Clock::duration took{};
    for (int i = 0; i < 1000 && written == block.size(); ++i) {
        const auto start = Clock::now();
        written = port.Write(block.data(), block.size());
        took = Clock::now() - start;
    }
    ASSERT_LT(written, block.size()) << "the line never filled up";
    EXPECT_GE(took, kStall);
    EXPECT_LT(took, kStall + kAtOnce);

    // A transaction's request on the full line gives up too, after the
    // port's own limit, instead of holding its caller for good.
    const std::uint8_t probe[7] = {0x5B, 0x02, 0x7F, 0x00, 0x00, 0x00, 0x24};
    const auto start = Clock::now();
    EXPECT_LT(port.Write(probe, sizeof probe), sizeof probe);
    took = Clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(CSerialPort::kWriteStallMs));
    EXPECT_LT(took, std::chrono::milliseconds(CSerialPort::kWriteStallMs) + kAtOnce);
    EXPECT_TRUE(port.IsOpen());

    // Once the other end reads again, the line takes requests again.
    pty.Drain();
    EXPECT_EQ(port.Write(probe, sizeof probe), sizeof probe);
}

TEST_F(SerialPortTest, silentLine_readReportsNoByteAfterItsTimeout)
{
    std::uint8_t byte = 0;
    const auto start = Clock::now();
    EXPECT_EQ(port.ReadByte(byte), ReadResult::NoByte);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(CSerialPort::kReadTimeoutMs));
}

TEST_F(SerialPortTest, wakeReader_endsOneReadWithoutTakingTheQueuedByte)
{
    port.WakeReader();
    ASSERT_TRUE(pty.Send({0x42}));
    std::uint8_t byte = 0;
    EXPECT_EQ(port.ReadByte(byte), ReadResult::NoByte);
    EXPECT_EQ(port.ReadByte(byte), ReadResult::Byte);
    EXPECT_EQ(byte, 0x42);
}

TEST_F(SerialPortTest, wakeReader_endsAPendingReadAtOnce)
{
    auto pending = std::async(std::launch::async, [&] {
        std::uint8_t byte = 0;
        return port.ReadByte(byte);
    });
    port.WakeReader();
    ASSERT_EQ(pending.wait_for(kAtOnce), std::future_status::ready);
    EXPECT_EQ(pending.get(), ReadResult::NoByte);
}

TEST_F(SerialPortTest, stopReader_whileReaderWaitsForAByte_endsItAtOnce)
{
    CountingReader reader;
    reader.port = &port;
    auto ended = reader.last.get_future();
    auto started = reader.started.get_future();
    ASSERT_TRUE(port.StartReader(&CountingReader::Run, &reader));
    started.wait();

    const auto start = Clock::now();
    EXPECT_EQ(port.StopReader(), 0);
    EXPECT_LT(Clock::now() - start, kAtOnce);
    EXPECT_EQ(ended.wait_for(0s), std::future_status::ready);
    EXPECT_EQ(ended.get(), ReadResult::Failure);
    EXPECT_TRUE(port.IsOpen());
}

// An idle reader waits for the wake signal without touching the line: a
// wake lets it look again, the stop ends it.
struct IdleReader
{
    CSerialPort* port = nullptr;
    std::promise<bool> firstWait;
    std::promise<bool> secondWait;

    static void Run(void* arg)
    {
        auto& self = *static_cast<IdleReader*>(arg);
        self.firstWait.set_value(self.port->WaitForWake());
        self.secondWait.set_value(self.port->WaitForWake());
    }
};

TEST_F(SerialPortTest, idleReader_wokenLooksAgain_stopEndsItAtOnce_queuedBytesStay)
{
    IdleReader reader;
    reader.port = &port;
    auto first = reader.firstWait.get_future();
    auto second = reader.secondWait.get_future();
    ASSERT_TRUE(pty.Send({0x42}));
    ASSERT_TRUE(port.StartReader(&IdleReader::Run, &reader));

    port.WakeReader();
    ASSERT_EQ(first.wait_for(kAtOnce), std::future_status::ready);
    EXPECT_TRUE(first.get());

    const auto start = Clock::now();
    port.StopReader();
    EXPECT_LT(Clock::now() - start, kAtOnce);
    EXPECT_FALSE(second.get());

    // Idling took nothing from the line, and the stop is cleared again.
    std::uint8_t byte = 0;
    EXPECT_EQ(port.ReadByte(byte), ReadResult::Byte);
    EXPECT_EQ(byte, 0x42);
}

TEST_F(SerialPortTest, afterStopReader_stopSignalIsClear_readsAndWritesWork)
{
    CountingReader reader;
    reader.port = &port;
    auto ended = reader.last.get_future();
    ASSERT_TRUE(port.StartReader(&CountingReader::Run, &reader));
    port.StopReader();

    ASSERT_TRUE(pty.Send({0x11}));
    std::uint8_t byte = 0;
    EXPECT_EQ(port.ReadByte(byte), ReadResult::Byte);
    EXPECT_EQ(byte, 0x11);
    const std::uint8_t data = 0x22;
    EXPECT_EQ(port.Write(&data, 1), 1u);
    EXPECT_EQ(pty.Receive(1, kAtOnce), std::vector<std::uint8_t>{0x22});
}

struct OneByteReader
{
    CSerialPort* port = nullptr;
    std::promise<std::pair<ReadResult, std::uint8_t>> got;
    static void Run(void* arg)
    {
        auto& self = *static_cast<OneByteReader*>(arg);
        std::uint8_t byte = 0;
        const ReadResult result = self.port->ReadByte(byte);
        self.got.set_value({result, byte});
    }
};

TEST_F(SerialPortTest, readerEndedOnItsOwn_closeOpenAndNewReaderWorkNormally)
{
    std::promise<void> done;
    auto ended = done.get_future();
    ASSERT_TRUE(port.StartReader(
        [](void* arg) { static_cast<std::promise<void>*>(arg)->set_value(); }, &done));
    ended.wait();

    // The ended thread is still collected at once.
    const auto start = Clock::now();
    port.Close();
    EXPECT_LT(Clock::now() - start, kAtOnce);
    ASSERT_TRUE(port.Open());

    OneByteReader second;
    second.port = &port;
    auto got = second.got.get_future();
    ASSERT_TRUE(port.StartReader(&OneByteReader::Run, &second));
    ASSERT_TRUE(pty.Send({0xB5}));
    ASSERT_EQ(got.wait_for(kAtOnce), std::future_status::ready);
    const auto [result, byte] = got.get();
    EXPECT_EQ(result, ReadResult::Byte);
    EXPECT_EQ(byte, 0xB5);
}

TEST_F(SerialPortTest, secondStartReader_whileOneRuns_isRefused)
{
    CountingReader reader;
    reader.port = &port;
    ASSERT_TRUE(port.StartReader(&CountingReader::Run, &reader));
    CountingReader other;
    other.port = &port;
    EXPECT_FALSE(port.StartReader(&CountingReader::Run, &other));
    port.StopReader();
    EXPECT_EQ(other.reads, 0);
}

TEST_F(SerialPortTest, hangUp_readerFailsAtOnceWithoutSpinning_writeWritesNothing)
{
    CountingReader reader;
    reader.port = &port;
    auto ended = reader.last.get_future();
    ASSERT_TRUE(port.StartReader(&CountingReader::Run, &reader));

    pty.CloseMaster();
    ASSERT_EQ(ended.wait_for(kAtOnce), std::future_status::ready);
    EXPECT_EQ(ended.get(), ReadResult::Failure);
    EXPECT_LE(reader.reads, 2); // a spin would count thousands

    const std::uint8_t data[7] = {0x5B, 5, 0, 0, 0, 0, 0xA0};
    EXPECT_EQ(port.Write(data, sizeof data), 0u);
    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialPortTest, setName_onOpenPortWithReader_stopsReaderAndClosesFirst)
{
    CountingReader reader;
    reader.port = &port;
    auto ended = reader.last.get_future();
    ASSERT_TRUE(port.StartReader(&CountingReader::Run, &reader));

    EXPECT_TRUE(port.SetName("COM7"));
    EXPECT_EQ(ended.wait_for(0s), std::future_status::ready);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Name(), "COM7");
}

TEST_F(SerialPortTest, close_discardsBytesQueuedForTheTool)
{
    ASSERT_TRUE(pty.Send({1, 2, 3}));
    // Wait until the bytes reached the tool's side of the line.
    pollfd readable{pty.SlaveFd(), POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 1500), 1);
    int queued = 0;
    ::ioctl(pty.SlaveFd(), FIONREAD, &queued);
    ASSERT_EQ(queued, 3);
    port.Close();
    ::ioctl(pty.SlaveFd(), FIONREAD, &queued);
    EXPECT_EQ(queued, 0);
}

} // namespace
} // namespace kestrum
