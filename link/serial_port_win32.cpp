#ifdef _WIN32

#include "link/port_names.h"
#include "link/serial_port.h"

#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <windows.h>

namespace kestrum {

struct CSerialPort::Impl
{
    std::atomic<HANDLE> handle{INVALID_HANDLE_VALUE};
    // Writes and reads hold `io` shared; Close takes it alone, so the handle
    // is never closed under a transfer.
    std::shared_mutex io;
    // The wake signal. Manual reset: as the stop signal it must stay raised
    // until the reader has ended, even if a write pending at the same moment
    // sees it too; a plain wake is consumed by the reader alone.
    HANDLE wakeEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED readOverlapped{};
    OVERLAPPED writeOverlapped{};
    // The target of a pending read lives here, not on the caller's stack.
    std::uint8_t readBuffer = 0;

    Impl()
    {
        readOverlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        writeOverlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~Impl()
    {
        for (HANDLE h : {wakeEvent, readOverlapped.hEvent, writeOverlapped.hEvent})
            if (h != nullptr)
                CloseHandle(h);
    }
    bool EventsValid() const
    {
        return wakeEvent && readOverlapped.hEvent && writeOverlapped.hEvent;
    }
};

namespace {

void ClearError(HANDLE h)
{
    DWORD errors = 0;
    ClearCommError(h, &errors, nullptr);
}

// Ends a transfer that is still in flight, so neither its record nor its
// buffer is written after we return. Returns the bytes it moved. Only this
// transfer is cancelled, whichever thread started it: CancelIo would take
// the calling thread's transfers instead, and the other direction's with them.
DWORD CancelTransfer(HANDLE h, OVERLAPPED& overlapped)
{
    DWORD moved = 0;
    CancelIoEx(h, &overlapped);
    GetOverlappedResult(h, &overlapped, &moved, TRUE);
    return moved;
}

// A read that ends with no byte before its time-out was not timed out: the
// driver is reporting the end of the line (a removed adapter). Reading again
// would end the same way at once, so the reader would spin. The slack covers
// the coarse tick of the system clock.
constexpr ULONGLONG kTimeoutSlackMs = 100;

ReadResult ZeroByteRead(ULONGLONG started)
{
    const ULONGLONG waited = GetTickCount64() - started;
    return waited + kTimeoutSlackMs >= CSerialPort::kReadTimeoutMs ? ReadResult::NoByte
                                                                   : ReadResult::Failure;
}

} // namespace

CSerialPort::CSerialPort() : impl_(std::make_unique<Impl>()) {}

CSerialPort::~CSerialPort()
{
    Close();
}

bool CSerialPort::IsOpen() const
{
    return impl_->handle.load() != INVALID_HANDLE_VALUE;
}

bool CSerialPort::Open()
{
    if (IsOpen())
        Close();
    lastRefusal_ = OpenRefusal::None;
    if (!impl_->EventsValid())
        return false;

    const HANDLE h = CreateFileA(DevicePathForPortName(name_).c_str(), GENERIC_READ | GENERIC_WRITE,
                                 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        // The serial driver answers "access denied" to the second opener.
        if (GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_SHARING_VIOLATION)
            lastRefusal_ = OpenRefusal::Busy;
        return false;
    }

    // Built from nothing: binary, 9600 8N1, no flow control, DTR and RTS
    // disabled (both zero), no error replacement, null stripping or abort.
    // XON and XOFF get their usual characters even though software flow
    // control stays off: SetCommState refuses equal ones, and some
    // multiport drivers enforce that.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = CBR_9600;
    dcb.fBinary = TRUE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;

    // A byte already queued returns at once, otherwise the read waits for
    // the next byte for at most the read time-out. Writes have none.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = kReadTimeoutMs;

    if (!SetCommState(h, &dcb) || !SetupComm(h, 1024, 1024) || !SetCommTimeouts(h, &timeouts)) {
        ClearError(h);
        CloseHandle(h);
        return false;
    }
    // Whatever waits in the input belongs to an earlier user of the port (a
    // run killed mid-transaction): it would be taken for an answer.
    PurgeComm(h, PURGE_RXCLEAR);
    ResetEvent(impl_->wakeEvent);
    hungUp_.store(false);
    impl_->handle.store(h);
    return true;
}

bool CSerialPort::Close()
{
    StopReader();
    if (!IsOpen())
        return true;
    RaiseStop(); // a write pending on another thread gives up
    {
        std::unique_lock lock(impl_->io);
        const HANDLE h = impl_->handle.exchange(INVALID_HANDLE_VALUE);
        PurgeComm(h, PURGE_RXABORT | PURGE_TXABORT | PURGE_RXCLEAR | PURGE_TXCLEAR);
        CloseHandle(h);
    }
    ClearStop();
    return true;
}

ReadResult CSerialPort::ReadByte(std::uint8_t& byte)
{
    std::shared_lock lock(impl_->io);
    const HANDLE h = impl_->handle.load();
    if (h == INVALID_HANDLE_VALUE)
        return ReadResult::Failure;
    if (WaitForSingleObject(impl_->wakeEvent, 0) == WAIT_OBJECT_0)
        return TakeWake() ? ReadResult::NoByte : ReadResult::Failure;

    OVERLAPPED& overlapped = impl_->readOverlapped;
    SetLastError(0);
    ClearError(h);
    ResetEvent(overlapped.hEvent);

    const ULONGLONG started = GetTickCount64();
    DWORD moved = 0;
    if (ReadFile(h, &impl_->readBuffer, 1, &moved, &overlapped)) {
        byte = impl_->readBuffer;
        return moved == 1 ? ReadResult::Byte : ZeroByteRead(started);
    }
    if (GetLastError() == ERROR_IO_PENDING) {
        SetLastError(0);
        // The driver ends the read itself after the read time-out; the
        // extra second only guards against one that never does.
        HANDLE events[2] = {impl_->wakeEvent, overlapped.hEvent};
        const DWORD woke = WaitForMultipleObjects(2, events, FALSE, kReadTimeoutMs + 1000);
        if (woke == WAIT_OBJECT_0 + 1 && GetOverlappedResult(h, &overlapped, &moved, FALSE)) {
            byte = impl_->readBuffer;
            return moved == 1 ? ReadResult::Byte : ZeroByteRead(started);
        }
        moved = CancelTransfer(h, overlapped);
        if (woke == WAIT_OBJECT_0 && moved == 0)
            return TakeWake() ? ReadResult::NoByte : ReadResult::Failure;
        if (woke == WAIT_OBJECT_0 || woke == WAIT_TIMEOUT) {
            // A byte that arrived while the read was being cancelled was
            // taken from the line: hand it on rather than lose it.
            byte = impl_->readBuffer;
            return moved == 1 ? ReadResult::Byte : ReadResult::NoByte;
        }
    }
    // A read that fails outright: the device is gone (a removed adapter
    // fails every transfer) or the driver reports an error.
    ClearError(h);
    hungUp_.store(true);
    return ReadResult::Failure;
}

bool CSerialPort::WaitForWake()
{
    return WaitForSingleObject(impl_->wakeEvent, INFINITE) == WAIT_OBJECT_0 && TakeWake();
}

std::size_t CSerialPort::Write(const std::uint8_t* data, std::size_t length)
{
    std::shared_lock lock(impl_->io);
    const HANDLE h = impl_->handle.load();
    if (h == INVALID_HANDLE_VALUE)
        return 0;

    OVERLAPPED& overlapped = impl_->writeOverlapped;
    SetLastError(0);
    ClearError(h);
    ResetEvent(overlapped.hEvent);

    DWORD moved = 0;
    if (WriteFile(h, data, static_cast<DWORD>(length), &moved, &overlapped))
        return moved;
    if (GetLastError() == ERROR_IO_PENDING) {
        // A wake meant for the reader is not ours to consume: once seen, the
        // write waits on its own event alone, for what is left of the limit.
        const ULONGLONG deadline = GetTickCount64() + kWriteStallMs;
        HANDLE events[2] = {impl_->wakeEvent, overlapped.hEvent};
        DWORD count = 2;
        DWORD first = 0;
        for (;;) {
            const ULONGLONG now = GetTickCount64();
            const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
            const DWORD woke = WaitForMultipleObjects(count, events + first, FALSE, left);
            if (woke == WAIT_OBJECT_0 + (count - 1)) {
                if (GetOverlappedResult(h, &overlapped, &moved, FALSE) ||
                    GetLastError() == ERROR_IO_INCOMPLETE)
                    return moved;
                break;
            }
            if (woke == WAIT_OBJECT_0 && count == 2 && !StopRaised()) {
                first = 1;
                count = 1;
                continue;
            }
            moved = CancelTransfer(h, overlapped);
            break;
        }
    }
    ClearError(h);
    return moved;
}

bool CSerialPort::TakeWake()
{
    if (StopRaised())
        return false;
    ResetEvent(impl_->wakeEvent);
    if (!StopRaised())
        return true;
    SetEvent(impl_->wakeEvent);
    return false;
}

void CSerialPort::RaiseWake()
{
    SetEvent(impl_->wakeEvent);
}

void CSerialPort::ClearWake()
{
    ResetEvent(impl_->wakeEvent);
}

} // namespace kestrum

#endif // _WIN32
