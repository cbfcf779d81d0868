#pragma once

#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <stdlib.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

// A raw pseudo-terminal pair whose master side a test drives byte by byte,
// while the code under test opens the slave path like a serial port. The
// helper keeps a slave descriptor of its own so the pair survives the port
// being closed and reopened.
namespace kestrum::test {

class PtyPair
{
public:
    PtyPair()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            return;
        const char* name = ::ptsname(master_);
        if (name == nullptr)
            return;
        path_ = name;
        slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_ < 0)
            return;
        termios t{};
        ::tcgetattr(slave_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave_, TCSANOW, &t);
    }
    ~PtyPair()
    {
        CloseMaster();
        if (slave_ >= 0)
            ::close(slave_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Valid() const { return master_ >= 0 && slave_ >= 0; }
    const std::string& SlavePath() const { return path_; }
    int SlaveFd() const { return slave_; }

    // Hangs up the line, as an unplugged adapter does.
    void CloseMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    bool Send(const std::vector<std::uint8_t>& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Exactly `count` bytes from the line, or nothing when they do not all
    // arrive within `timeout`.
    std::optional<std::vector<std::uint8_t>> Receive(std::size_t count,
                                                     std::chrono::milliseconds timeout)
    {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + timeout;
        std::vector<std::uint8_t> bytes;
        while (bytes.size() < count) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0 || !Readable(left))
                return std::nullopt;
            std::uint8_t buffer[64];
            const std::size_t want = std::min(count - bytes.size(), sizeof buffer);
            const ssize_t n = ::read(master_, buffer, want);
            if (n <= 0)
                return std::nullopt;
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
        return bytes;
    }

    // Reads and drops whatever is waiting on the master side.
    void Drain()
    {
        std::uint8_t buffer[4096];
        while (Readable(std::chrono::milliseconds(0)) &&
               ::read(master_, buffer, sizeof buffer) > 0) {
        }
    }

    // Whether anything is waiting to be read on the master side.
    bool Readable(std::chrono::milliseconds timeout)
    {
        pollfd p{master_, POLLIN, 0};
        return ::poll(&p, 1, static_cast<int>(timeout.count())) == 1 && (p.revents & POLLIN);
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

} // namespace kestrum::test
