#include "link/port_names.h"
#include "link/serial_port.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <shared_mutex>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace kestrum {

namespace {

// A level-triggered flag that poll() can wait on: raised until cleared.
class PollSignal
{
public:
    PollSignal() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~PollSignal()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    PollSignal(const PollSignal&) = delete;
    PollSignal& operator=(const PollSignal&) = delete;

    bool Valid() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    void Raise()
    {
        const std::uint64_t one = 1;
        while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
    void Clear()
    {
        std::uint64_t count = 0;
        while (::read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
        }
    }

private:
    int fd_;
};

bool ApplyLineSettings(int fd)
{
    termios current{};
    if (::tcgetattr(fd, &current) != 0)
        return false; // not a terminal device

    // Built from nothing rather than edited, so no setting left behind by a
    // previous user of the device survives.
    termios t{};
    ::cfmakeraw(&t);
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    // VMIN 1 (from cfmakeraw) keeps an empty non-blocking read at EAGAIN, so a
    // read of 0 bytes can only mean end of file.
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, B9600) != 0 || ::cfsetospeed(&t, B9600) != 0)
        return false;
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        return false;

    // DTR and RTS held off; a pseudo-terminal has no modem lines and refuses.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIC, &lines);

    // USB-serial adapters otherwise hold each short answer back for up to
    // 16 ms. Drivers without the setting refuse; that is fine.
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        (void)::ioctl(fd, TIOCSSERIAL, &serial);
    }
    // Driver queue sizes cannot be chosen on POSIX: the kernel's tty buffers
    // (4 KiB and more) are always larger than the 1024 bytes the link needs.
    return true;
}

OpenRefusal RefusalOf(int error)
{
    if (error == EACCES || error == EPERM)
        return OpenRefusal::Denied;
    if (error == EBUSY || error == EWOULDBLOCK)
        return OpenRefusal::Busy;
    return OpenRefusal::None;
}

} // namespace

struct CSerialPort::Impl
{
    std::atomic<int> fd{-1};
    // Writes and reads hold `io` shared; Close takes it alone, so the
    // descriptor is never closed (and its number reused) under a transfer.
    std::shared_mutex io;
    PollSignal wake;
};

CSerialPort::CSerialPort() : impl_(std::make_unique<Impl>()) {}

CSerialPort::~CSerialPort()
{
    Close();
}

bool CSerialPort::IsOpen() const
{
    return impl_->fd.load() >= 0;
}

bool CSerialPort::Open()
{
    if (IsOpen())
        Close();
    lastRefusal_ = OpenRefusal::None;
    if (!impl_->wake.Valid())
        return false;

    const std::string path = DevicePathForPortName(name_);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // A device held with TIOCEXCL refuses other openers with EBUSY.
        lastRefusal_ = RefusalOf(errno);
        return false;
    }

    // The lock first: TIOCEXCL is a property of the device, so a refused
    // opener must not touch it and take the exclusivity from the holder.
    bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (!ok)
        lastRefusal_ = RefusalOf(errno);
    bool exclusive = ok && ::ioctl(fd, TIOCEXCL) == 0;
    ok = exclusive && ApplyLineSettings(fd);
    if (!ok) {
        if (exclusive)
            (void)::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return false;
    }
    // Whatever waits in the input belongs to an earlier user of the port (a
    // run killed mid-transaction): it would be taken for an answer.
    (void)::tcflush(fd, TCIFLUSH);
    impl_->wake.Clear();
    hungUp_.store(false);
    impl_->fd.store(fd);
    return true;
}

bool CSerialPort::Close()
{
    StopReader();
    if (!IsOpen())
        return true;
    // A Write blocked on another thread gives up; the reader has ended, so
    // nobody else is waiting on the signal.
    RaiseStop();
    {
        std::unique_lock lock(impl_->io);
        const int fd = impl_->fd.exchange(-1);
        (void)::tcflush(fd, TCIOFLUSH);
        (void)::ioctl(fd, TIOCNXCL);
        ::close(fd);
    }
    ClearStop();
    return true;
}

ReadResult CSerialPort::ReadByte(std::uint8_t& byte)
{
    std::shared_lock lock(impl_->io);
    const int fd = impl_->fd.load();
    if (fd < 0)
        return ReadResult::Failure;

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd fds[2] = {{impl_->wake.Fd(), POLLIN, 0}, {fd, POLLIN, 0}};
        const int rc = ::poll(fds, 2, static_cast<int>(std::max<long long>(0, left.count())));
        if (rc < 0) {
            if (errno == EINTR)
                continue; // the time left is recomputed
            return ReadResult::Failure;
        }
        // The signal before the line: a byte that arrives with it stays queued.
        if (fds[0].revents != 0)
            return TakeWake() ? ReadResult::NoByte : ReadResult::Failure;
        if (rc == 0)
            return ReadResult::NoByte;

        const short events = fds[1].revents;
        if (events & POLLIN) {
            const ssize_t n = ::read(fd, &byte, 1);
            if (n == 1)
                return ReadResult::Byte;
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            // 0 bytes after "readable" is the end of file of an unplugged
            // adapter or a closed pseudo-terminal: polling again would spin.
            hungUp_.store(true);
            return ReadResult::Failure;
        }
        if (events & (POLLHUP | POLLERR | POLLNVAL)) {
            hungUp_.store(true);
            return ReadResult::Failure;
        }
    }
}

// The port's descriptor is watched with no events asked for: poll reports
// hang-up and error regardless, and bytes arriving stay queued untouched.
// Close stops the reader before it closes the descriptor, so it stays valid
// for the whole wait.
bool CSerialPort::WaitForWake()
{
    for (;;) {
        pollfd fds[2] = {{impl_->wake.Fd(), POLLIN, 0}, {impl_->fd.load(), 0, 0}};
        const int rc = ::poll(fds, 2, -1);
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc <= 0)
            return false;
        if (fds[0].revents != 0)
            return TakeWake();
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            hungUp_.store(true);
            return false;
        }
    }
}

std::size_t CSerialPort::Write(const std::uint8_t* data, std::size_t length)
{
    std::shared_lock lock(impl_->io);
    const int fd = impl_->fd.load();
    if (fd < 0)
        return 0;

    // A wake meant for the reader is not ours to consume: once seen, this
    // write stops watching the signal and waits on the line alone.
    int signalFd = impl_->wake.Fd();
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, data + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd fds[2] = {{signalFd, POLLIN, 0}, {fd, POLLOUT, 0}};
            // Each wait is for room for the next bytes, so a slow line that
            // still drains never runs into the stall limit.
            const int rc = ::poll(fds, 2, kWriteStallMs);
            if (rc < 0 && errno == EINTR)
                continue;
            if (rc <= 0 || (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)))
                break;
            if (fds[0].revents != 0) {
                if (StopRaised())
                    break;
                signalFd = -1;
            }
            continue;
        }
        break;
    }
    return done;
}

// Consumes a wake; false (and the signal left standing) when it is the stop.
// The flag is read after the clear: a stop raised meanwhile had set it first.
bool CSerialPort::TakeWake()
{
    if (StopRaised())
        return false;
    impl_->wake.Clear();
    if (!StopRaised())
        return true;
    impl_->wake.Raise();
    return false;
}

void CSerialPort::RaiseWake()
{
    impl_->wake.Raise();
}

void CSerialPort::ClearWake()
{
    impl_->wake.Clear();
}

} // namespace kestrum
