// Firmware upgrade of a 1,024-word image at 9600 bit/s against the time the
// wire and the controller's write delay alone need.
#include "link/controller.h"
#include "sim/simulator.h"
#include "tools/firmware_upgrade.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kWords = 1024;
constexpr int kWordsPerRecord = 16;

std::string Record(unsigned byteAddress, unsigned firstWord)
{
    unsigned sum = 2 * kWordsPerRecord + (byteAddress >> 8) + (byteAddress & 0xFF);
    char text[16];
    std::snprintf(text, sizeof text, ":%02X%04X00", 2 * kWordsPerRecord, byteAddress);
    std::string line = text;
    for (int i = 0; i < kWordsPerRecord; ++i) {
        const unsigned word = (firstWord + i) & 0xFFFF;
        std::snprintf(text, sizeof text, "%02X%02X", word & 0xFF, word >> 8);
        line += text;
        sum += (word & 0xFF) + (word >> 8);
    }
    std::snprintf(text, sizeof text, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + text;
}

} // namespace

int main()
{
    namespace fs = std::filesystem;
    const std::string path =
        (fs::temp_directory_path() / ("kestrum-bench-" + std::to_string(getpid()) + ".hex"))
            .string();
    {
        std::ofstream out(path, std::ios::binary);
        for (int w = 0; w < kWords; w += kWordsPerRecord)
            out << Record(0x1000 + 2 * w, 0x100 + w);
        out << ":00000001FF\n";
    }
    kestrum::sim::Simulator sim(
        {.modelCode = 0, .pacing = true, .liveGauges = false, .recordTranscript = false});
    kestrum::CController link;
    link.Timings().writeDelay = 20;
    if (!sim.Start()) {
        return 1;
    }
    link.Port().SetName(sim.PortPath());
    if (!link.OpenLink()) {
        return 1;
    }
    const double resetDelay = link.Timings().resetDelay.load();
    kestrum::NoProgress progress;
    const auto start = std::chrono::steady_clock::now();
    const kestrum::UpgradeResult result = kestrum::UpgradeFirmware(link, path, progress);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    fs::remove(path);
    if (result.status != kestrum::UpgradeResult::Status::Succeeded) {
        std::printf("upgrade failed: %s\n", result.error.c_str());
        return 1;
    }
    // A packet takes 7 bytes of 10 bits at 9600 bit/s. Each word: the write
    // delay (the request is sent inside it), then read-back request and answer.
    constexpr double kPacket = 7 * 10 * 1000.0 / 9600;
    const double perWord = 20 + 2 * kPacket;
    const double switchOver = perWord + kPacket + resetDelay + 2 * kPacket;
    const double bound = 2 * kPacket + kWords * perWord + 2 * switchOver;
    std::printf("upgrade of %d words: %.0f ms, wire-time bound %.0f ms, ratio %.3f (target <= "
                "1.05)\n",
                kWords, ms, bound, ms / bound);
    return ms / bound <= 1.05 ? 0 : 2;
}
