#include "link/serial_port.h"

#include <system_error>

// What is the same on every platform: naming, the stop signal on top of the
// wake signal, and the reader thread's life.
namespace kestrum {

bool CSerialPort::SetName(const std::string& name)
{
    Close();
    name_ = name;
    return true;
}

void CSerialPort::WakeReader()
{
    RaiseWake();
}

// The flag first, then the wake: whoever wakes on it sees the stop.
void CSerialPort::RaiseStop()
{
    stopRaised_.store(true);
    RaiseWake();
}

void CSerialPort::ClearStop()
{
    ClearWake();
    stopRaised_.store(false);
}

bool CSerialPort::StartReader(ReaderProc proc, void* arg)
{
    if (reader_.joinable())
        return false;
    try {
        reader_ = std::thread(proc, arg);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

int CSerialPort::StopReader()
{
    if (!reader_.joinable())
        return 0;
    RaiseStop();
    reader_.join();
    ClearStop();
    return 0;
}

} // namespace kestrum
