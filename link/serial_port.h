#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

// CSerialPort: the byte pipe under the controller link.
//
// Threads and what wakes whom, in one place:
// - The owner of the link (the user-interface thread, or whoever runs the
//   port search) calls Open, Close, SetName, StartReader and StopReader;
//   these never run concurrently with each other.
// - The reader thread started by StartReader calls only ReadByte and
//   WaitForWake.
// - Transactions on any thread, serialised by the link's own lock, call
//   Write and WakeReader.
// - IsOpen and Name may be called from any thread.
//
// One signal does all the waking: the wake signal. WakeReader raises it, and
// the reader's pending ReadByte (ending with NoByte, no byte taken) or its
// WaitForWake (returning true) consumes it. That is how the link starts and
// stops the reader's reading without it ever taking a byte between
// transactions. The stop signal is the same wake with the stop flag set: it
// is raised by StopReader (and by Close, for a Write blocked on a line that
// takes nothing), it is not consumed, and while it stands every ReadByte and
// WaitForWake fails and every Write gives up. StopReader clears it once the
// reader has ended, so a stop meant for one reader never ends a later one.
//
// The idle reader also watches the line itself: WaitForWake returns false
// as soon as the port hangs up (an adapter unplugged, the other end of a
// pseudo-terminal closed), without a byte being sent or a time-out running
// out, and HungUp() then says so. On Linux the wait polls the port's
// descriptor for POLLHUP/POLLERR beside the wake signal, so a hang-up while
// idle is seen at once. On Windows a comm handle reports no hang-up to a
// wait; there the device-removal notification of the ports class (see
// link/device_watch.h) tells the link instead.
namespace kestrum {

// Why the last Open failed, when the device is there but refused us: the
// user may lack the permission to open it, or another program holds it.
enum class OpenRefusal
{
    None,
    Denied,
    Busy
};

enum class ReadResult
{
    Byte,
    NoByte,
    Failure
};

class CSerialPort
{
public:
    using ReaderProc = void (*)(void* arg);

    CSerialPort();
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens the named port with fixed line settings (9600 8N1, raw, no flow
    // control, DTR and RTS off). All-or-nothing: false means closed.
    bool Open();
    // After a failed Open: whether the device refused us (see OpenRefusal).
    OpenRefusal LastOpenRefusal() const { return lastRefusal_; }
    // Stops the reader, discards both queues, closes. Always true.
    bool Close();
    // Close, then take the new name; the port stays closed.
    bool SetName(const std::string& name);
    const std::string& Name() const { return name_; }
    bool IsOpen() const;

    // Byte: one byte read. NoByte: nothing arrived within kReadTimeoutMs, or
    // the wake signal was raised (it is consumed, no byte is taken).
    // Failure: the stop signal, a port error or hang-up, the port not open.
    ReadResult ReadByte(std::uint8_t& byte);
    // Waits, without a time limit and without touching the line, for the
    // wake signal (true, consumed), the stop signal or the port's hang-up
    // (false; HungUp() tells which).
    bool WaitForWake();
    // The line failed under an open port (hang-up or port error) since it
    // was opened: the reader ended because of the line, not because of a
    // stop. Any thread.
    bool HungUp() const { return hungUp_.load(); }
    // Raises the wake signal (see above).
    void WakeReader();
    // Number of bytes written (0 on failure or when closed). A line that
    // takes no byte for kWriteStallMs ends the write with what it took.
    std::size_t Write(const std::uint8_t* data, std::size_t length);

    // Starts the reader thread; false when one runs already or none could
    // be started.
    bool StartReader(ReaderProc proc, void* arg);
    // Raises the stop signal, waits for the reader (reading or idle) to end,
    // then clears the signal. Returns the reader's exit code (0 when none ran).
    int StopReader();

    // How long a ReadByte waits for a byte before reporting NoByte.
    static constexpr int kReadTimeoutMs = 5000;
    // How long a Write waits for a line that takes no byte. Without flow
    // control a real line always drains (9600 bit/s moves a request in about
    // 7 ms); a virtual port whose other end nobody reads never does, and an
    // unbounded wait there would hold the link's lock, and the thread that
    // asked, for good.
    static constexpr int kWriteStallMs = 1000;

    struct Impl; // platform state: file descriptor or handle, the wake signal

private:
    // The platform's half of the signal: raise it, consume it, clear it.
    void RaiseWake();
    void ClearWake();
    bool TakeWake();
    void RaiseStop();
    void ClearStop();
    bool StopRaised() const { return stopRaised_.load(); }

    std::string name_;
    std::unique_ptr<Impl> impl_;
    std::thread reader_;
    std::atomic<bool> stopRaised_{false};
    std::atomic<bool> hungUp_{false};
    OpenRefusal lastRefusal_ = OpenRefusal::None;
};

} // namespace kestrum
