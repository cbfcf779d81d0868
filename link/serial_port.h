#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// CSerialPort: the byte pipe under the controller link.
//
// Threading contract: the reader thread calls only ReadByte(). Transactions
// on any thread (serialised by the link's lock) call Write(). Open, Close,
// SetName, StartReader and StopReader belong to the thread that owns the link
// (the user-interface thread) and must not run concurrently with each other.
// IsOpen() may be called from any thread.
namespace kestrum {

enum class ReadResult { Byte, NoByte, Failure };

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

    ReadResult ReadByte(std::uint8_t& byte);
    // Number of bytes written (0 on failure or when closed).
    std::size_t Write(const std::uint8_t* data, std::size_t length);

    bool StartReader(ReaderProc proc, void* arg);
    // Ends the reader (pending read or idle), waits for it, leaves the stop
    // signal cleared. Returns the reader's exit code (0 when none ran).
    int StopReader();
    bool ReaderRunning() const;

    // How long a ReadByte waits for a byte before reporting NoByte.
    static constexpr int kReadTimeoutMs = 5000;

    struct Impl; // platform state: file descriptor / handle, stop signal

private:
    std::string name_;
    std::unique_ptr<Impl> impl_;
};

} // namespace kestrum
