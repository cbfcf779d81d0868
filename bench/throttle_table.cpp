// Throttle table read (Refresh) and write (Set of another curve) at 9600
// bit/s against the time the wire and the controller's write delay need.
#include "link/controller.h"
#include "sim/simulator.h"
#include "throttle/throttle_curves.h"
#include "throttle/throttle_response.h"
#include "throttle/throttle_tables.h"

#include <chrono>
#include <cstdio>

namespace {

// A packet is 7 bytes of 10 bits at 9600 bit/s; a read is request + answer.
constexpr double kPacketMs = 7 * 10 * 1000.0 / 9600;
constexpr double kReadMs = 2 * kPacketMs;
constexpr double kWriteDelayMs = 20;
// A verified write: the request goes out inside the write delay, then the
// read-back request and its answer.
constexpr double kVerifiedWriteMs = kWriteDelayMs + kReadMs;
constexpr std::uint16_t kTableBase = 0x1400;

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

bool Report(const char* what, double ms, double bound)
{
    std::printf("%s: %.0f ms, wire-time bound %.0f ms, ratio %.3f (target <= 1.05)\n", what, ms,
                bound, ms / bound);
    return ms / bound <= 1.05;
}

} // namespace

int main()
{
    kestrum::sim::Simulator sim(
        {.modelCode = 0, .pacing = true, .liveGauges = false, .recordTranscript = false});
    if (!sim.Start())
        return 1;
    for (int i = 0; i < 256; ++i)
        sim.SetFlash(static_cast<std::uint16_t>(kTableBase + i),
                     static_cast<std::uint16_t>(0x3400 + kestrum::kLinearTable[i]));
    kestrum::CController link;
    link.Timings().writeDelay = static_cast<int>(kWriteDelayMs);
    link.Port().SetName(sim.PortPath());
    if (!link.OpenLink())
        return 1;

    kestrum::ThrottleResponse response;
    kestrum::NoProgress progress;
    auto start = std::chrono::steady_clock::now();
    if (response.Refresh(link, progress) != kestrum::ThrottleResponse::Outcome::Done)
        return 1;
    const double readMs = Since(start);
    // The probe, EEPROM 127, 22, 23, 0 and 1, then the 256 entries.
    const double readBound = (6 + 256) * kReadMs;

    response.Select(kestrum::AllCurves()[1]); // S-Curve
    start = std::chrono::steady_clock::now();
    if (response.Set(link, progress) != kestrum::ThrottleResponse::Outcome::Done)
        return 1;
    const double writeMs = Since(start);
    // EEPROM 0 and 1, the 256 verified words, then the verified EEPROM 22.
    const double writeBound = 2 * kReadMs + 257 * kVerifiedWriteMs;

    const bool readOk = Report("table read (262 transactions)", readMs, readBound);
    const bool writeOk = Report("table write (2 reads, 257 verified writes)", writeMs, writeBound);
    return readOk && writeOk ? 0 : 2;
}
