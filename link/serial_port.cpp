#include "link/serial_port.h"

#include <system_error>
#include <utility>

// The reader thread's life, the same on every platform; only raising and
// clearing the stop signal differ.
namespace kestrum {

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
