#include "link/serial_port.h"

#include <system_error>
#include <utility>

// What is the same on every platform: naming, the default time limits, and
// the reader thread's life (only raising and clearing the stop signal differ).
namespace kestrum {

bool CSerialPort::SetName(const std::string& name)
{
    Close();
    name_ = name;
    return true;
}

ReadResult CSerialPort::ReadByte(std::uint8_t& byte)
{
    return ReadByte(byte, std::chrono::milliseconds(kReadTimeoutMs));
}

std::size_t CSerialPort::Write(const std::uint8_t* data, std::size_t length)
{
    return Write(data, length, std::chrono::milliseconds(kWriteStallMs));
}

bool CSerialPort::StartReader(ReaderProc proc, void* arg, std::function<void()> wake)
{
    if (reader_.thread.joinable()) {
        if (reader_.running.load())
            return false;
        reader_.thread.join(); // ended on its own earlier
    }
    reader_.wake = std::move(wake);
    reader_.running.store(true);
    try {
        reader_.thread = std::thread([this, proc, arg] {
            proc(arg);
            reader_.running.store(false);
        });
    } catch (const std::system_error&) {
        reader_.running.store(false);
        reader_.wake = nullptr;
        return false;
    }
    return true;
}

int CSerialPort::StopReader()
{
    if (!reader_.thread.joinable())
        return 0;
    reader_.stopping.store(true);
    RaiseStopSignal();
    if (reader_.wake)
        reader_.wake();
    reader_.thread.join();
    reader_.wake = nullptr;
    // Cleared only now: a stop raised for this reader never ends a later
    // reader, read or write.
    ClearStopSignals();
    reader_.stopping.store(false);
    return 0;
}

bool CSerialPort::ReaderRunning() const
{
    return reader_.running.load();
}

bool CSerialPort::StopRequested() const
{
    return reader_.stopping.load();
}

} // namespace kestrum
