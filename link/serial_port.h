#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// CSerialPort: the byte pipe under the controller link.
//
// Threading contract: the reader thread calls only ReadByte() and
// StopRequested(). Transactions on any thread (serialised by the link's lock)
// call Write() and InterruptRead(). Open, Close, SetName, StartReader and
// StopReader belong to the thread that owns the link (the user-interface
// thread) and must not run concurrently with each other; Close waits for a
// Write in progress on another thread before the handle goes. IsOpen(),
// ReaderRunning() and StopRequested() may be called from any thread.
namespace kestrum {

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
    // Stops the reader, discards both queues, closes. Always true.
    bool Close();
    // Close, then take the new name; the port stays closed.
    bool SetName(const std::string& name);
    const std::string& Name() const { return name_; }
    bool IsOpen() const;

    // Byte: one byte read. NoByte: nothing arrived within the read time-out,
    // or InterruptRead() was called. Failure: stop signal, port error or
    // hang-up, port not open.
    ReadResult ReadByte(std::uint8_t& byte);
    ReadResult ReadByte(std::uint8_t& byte, std::chrono::milliseconds timeout);
    // Number of bytes written (0 on failure or when closed). A line that
    // takes no byte for `stall` ends the write with what it took so far.
    std::size_t Write(const std::uint8_t* data, std::size_t length);
    std::size_t Write(const std::uint8_t* data, std::size_t length,
                      std::chrono::milliseconds stall);

    // Ends the current or the next ReadByte with NoByte, without taking a
    // byte, so the reader can stop consuming input the moment nobody listens.
    void InterruptRead();

    // `wake` is called by StopReader right after the stop signal is raised,
    // so a reader that idles on its own condition (not in ReadByte) notices.
    bool StartReader(ReaderProc proc, void* arg, std::function<void()> wake = {});
    // Ends the reader (pending read or idle), waits for it, leaves the stop
    // signal cleared. Returns the reader's exit code (0 when none ran).
    int StopReader();
    bool ReaderRunning() const;
    // True while StopReader is ending the reader.
    bool StopRequested() const;

    // How long a ReadByte waits for a byte before reporting NoByte.
    static constexpr int kReadTimeoutMs = 5000;
    // How long a Write waits for a line that takes no byte. Without flow
    // control a real line always drains (9600 bit/s moves a request in about
    // 7 ms); a virtual port whose other end nobody reads never does, and an
    // unbounded wait there would hold the link's lock, and the thread that
    // asked, for good.
    static constexpr int kWriteStallMs = 1000;

    struct Impl; // platform state: file descriptor / handle, stop signal

private:
    // Platform halves of StopReader: raise the stop signal, and clear it
    // (and any pending interrupt) once the reader has ended.
    void RaiseStopSignal();
    void ClearStopSignals();

    struct ReaderState
    {
        std::thread thread;
        std::atomic<bool> running{false};
        std::atomic<bool> stopping{false};
        std::function<void()> wake;
    };

    std::string name_;
    std::unique_ptr<Impl> impl_;
    ReaderState reader_;
};

} // namespace kestrum
