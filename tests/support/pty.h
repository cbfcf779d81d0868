#pragma once

#include "link/packet.h"
#include "sim/pty.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

// The tests' one pseudo-terminal helper: an end of a line that a test drives
// byte by byte with nothing but POSIX calls, so what it checks never goes
// through the link's own code.
namespace kestrum::test {

inline std::vector<std::uint8_t> Bytes(const Packet& p)
{
    return {p.begin(), p.end()};
}

class PtyEnd
{
public:
    explicit PtyEnd(int fd = -1) : fd_(fd) {}
    ~PtyEnd() { Close(); }
    PtyEnd(const PtyEnd&) = delete;
    PtyEnd& operator=(const PtyEnd&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    void Close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    // Whether anything is waiting to be read.
    bool Readable(std::chrono::milliseconds timeout) const
    {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, static_cast<int>(timeout.count())) == 1 && (p.revents & POLLIN);
    }

    bool Send(const std::vector<std::uint8_t>& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            pollfd p{fd_, POLLOUT, 0};
            if (n < 0 && errno == EAGAIN && ::poll(&p, 1, 2000) == 1)
                continue;
            if (n < 0 && errno == EINTR)
                continue;
            return false;
        }
        return true;
    }
    bool Send(const Packet& p) { return Send(Bytes(p)); }

    // Up to `count` bytes, fewer if the time-out passes first.
    std::vector<std::uint8_t> Read(std::size_t count,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(2))
    {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + timeout;
        std::vector<std::uint8_t> bytes;
        while (bytes.size() < count) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0 || !Readable(left))
                break;
            std::uint8_t buffer[64];
            const std::size_t want = std::min(sizeof buffer, count - bytes.size());
            const ssize_t n = ::read(fd_, buffer, want);
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (n <= 0)
                break;
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
        return bytes;
    }

    // Exactly `count` bytes, or nothing when they do not all arrive in time.
    std::optional<std::vector<std::uint8_t>> Receive(std::size_t count,
                                                     std::chrono::milliseconds timeout)
    {
        std::vector<std::uint8_t> bytes = Read(count, timeout);
        if (bytes.size() != count)
            return std::nullopt;
        return bytes;
    }

    // Sends a request and reads one packet back.
    std::vector<std::uint8_t> Transact(const Packet& request)
    {
        Send(request);
        return Read(kPacketSize);
    }

    // Reads and drops whatever is waiting.
    void Drain()
    {
        std::uint8_t buffer[4096];
        while (Readable(std::chrono::milliseconds(0)) && ::read(fd_, buffer, sizeof buffer) > 0) {
        }
    }

private:
    int fd_;
};

// The tool's end of a simulator's line, opened by its path.
class PtyClient : public PtyEnd
{
public:
    explicit PtyClient(const std::string& path)
        : PtyEnd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {}
};

// A raw pair set up as the simulator sets up its own: the test drives the
// master side while the code under test opens the slave path like a serial
// port. The pair keeps a slave descriptor of its own, so it survives the
// port being closed and reopened.
class PtyPair
{
public:
    PtyPair()
    {
        if (sim::OpenPtyPair(pair_)) {
            master_ = std::make_unique<PtyEnd>(pair_.master);
            pair_.master = -1; // owned by master_ now
        }
    }
    ~PtyPair() { sim::ClosePtyPair(pair_); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Valid() const { return master_ && master_->IsOpen() && pair_.slave >= 0; }
    const std::string& SlavePath() const { return pair_.slavePath; }
    int SlaveFd() const { return pair_.slave; }

    // Hangs up the line, as an unplugged adapter does.
    void CloseMaster()
    {
        if (master_)
            master_->Close();
    }

    bool Send(const std::vector<std::uint8_t>& bytes) { return master_->Send(bytes); }
    std::optional<std::vector<std::uint8_t>> Receive(std::size_t count,
                                                     std::chrono::milliseconds timeout)
    {
        return master_->Receive(count, timeout);
    }
    void Drain() { master_->Drain(); }
    bool Readable(std::chrono::milliseconds timeout) const { return master_->Readable(timeout); }

private:
    sim::PtyPair pair_;
    std::unique_ptr<PtyEnd> master_;
};

} // namespace kestrum::test
