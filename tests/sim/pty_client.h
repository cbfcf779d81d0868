#pragma once

#include "link/packet.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

// The tool's end of a simulator's line, with nothing but POSIX calls, so the
// simulator is tested independently of the link.
namespace kestrum::sim::test {

class PtyClient
{
public:
    explicit PtyClient(const std::string& path)
        : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {}
    ~PtyClient() { Close(); }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    void Close()
    {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }

    bool Send(const std::vector<std::uint8_t>& bytes)
    {
        return write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    bool Send(const Packet& p) { return Send(std::vector<std::uint8_t>(p.begin(), p.end())); }

    // Up to `count` bytes, fewer if the time-out passes first.
    std::vector<std::uint8_t> Read(std::size_t count,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(2))
    {
        std::vector<std::uint8_t> bytes;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (bytes.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd pfd{fd_, POLLIN, 0};
            if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
                break;
            std::uint8_t buffer[64];
            const std::size_t want = std::min(sizeof buffer, count - bytes.size());
            const ssize_t n = read(fd_, buffer, want);
            if (n < 0 && errno == EAGAIN)
                continue;
            if (n <= 0)
                break;
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
        return bytes;
    }

    std::vector<std::uint8_t> Transact(const Packet& request)
    {
        Send(request);
        return Read(kPacketSize);
    }

private:
    int fd_;
};

inline std::vector<std::uint8_t> Bytes(const Packet& p)
{
    return {p.begin(), p.end()};
}

} // namespace kestrum::sim::test
