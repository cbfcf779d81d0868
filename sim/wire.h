#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

// Waiting and writing on the simulator's end of the line. Both give up as
// soon as one of the two interrupt descriptors (stop, hang-up request)
// becomes readable, so stopping never waits out a pacing delay.
namespace kestrum::sim {

using Clock = std::chrono::steady_clock;

// One byte on a 9600 bit/s 8N1 line: ten bits.
inline constexpr std::chrono::nanoseconds kByteTime{1'041'667};

struct Interrupts
{
    int stop = -1;
    int wake = -1;
};

// False when interrupted before the deadline.
bool SleepUntil(Clock::time_point deadline, Interrupts interrupts);

// Writes all bytes to the non-blocking `fd`, waiting while its queue is
// full. False when interrupted or on an error of the descriptor.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t length, Interrupts interrupts);

} // namespace kestrum::sim
