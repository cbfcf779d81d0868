#include "sim/wire.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace kestrum::sim {

namespace {

// Polls the interrupts (and `fd` for `events`, if given) for at most
// `timeout`, or without limit when it is null. Returns the pollfd of `fd`'s
// result, or -1 when an interrupt came.
int Wait(int fd, short events, const timespec* timeout, Interrupts interrupts)
{
    pollfd fds[3] = {{interrupts.stop, POLLIN, 0}, {interrupts.wake, POLLIN, 0}, {fd, events, 0}};
    const nfds_t count = fd >= 0 ? 3 : 2;
    int ready;
    do {
        ready = ppoll(fds, count, timeout, nullptr);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0 || (fds[0].revents | fds[1].revents) != 0)
        return -1;
    return count == 3 ? fds[2].revents : 0;
}

} // namespace

bool SleepUntil(Clock::time_point deadline, Interrupts interrupts)
{
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return true;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec timeout{static_cast<time_t>(ns / 1'000'000'000),
                               static_cast<long>(ns % 1'000'000'000)};
        if (Wait(-1, 0, &timeout, interrupts) < 0)
            return false;
    }
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t length, Interrupts interrupts)
{
    while (length > 0) {
        const ssize_t written = write(fd, data, length);
        if (written > 0) {
            data += written;
            length -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        const int revents = Wait(fd, POLLOUT, nullptr, interrupts);
        if (revents < 0 || (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
            return false;
    }
    return true;
}

} // namespace kestrum::sim
