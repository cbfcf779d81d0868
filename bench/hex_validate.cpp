// Throughput and memory of the upgrade file reader on a 10 MB HEX file:
// validation and record walk each stream the file, so memory must not grow
// with its size. Target: over 50 MB/s.
#include "tools/upgrade_file.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdlib.h>
#include <string>
#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;

long PeakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// 32 data bytes per record, addresses wrapping in the 16-bit space.
void WriteHexFile(const fs::path& path, std::uintmax_t targetBytes)
{
    std::ofstream out(path, std::ios::binary);
    std::mt19937 random(12345);
    std::uintmax_t written = 0;
    unsigned address = 0;
    char line[128];
    while (written < targetBytes) {
        unsigned sum = 32 + (address >> 8) + (address & 0xFF);
        int n = std::snprintf(line, sizeof line, ":20%04X00", address);
        for (int i = 0; i < 32; ++i) {
            const unsigned byte = random() & 0xFF;
            sum += byte;
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%02X", byte);
        }
        n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%02X\n",
                           (0x100 - (sum & 0xFF)) & 0xFF);
        out.write(line, n);
        written += static_cast<std::uintmax_t>(n);
        address = (address + 32) & 0xFFFF;
    }
    out << ":00000001FF\n";
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main()
{
    using namespace kestrum;
    std::string pattern = (fs::temp_directory_path() / "kestrum-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path dir = pattern;
    const fs::path file = dir / "firmware.hex";
    WriteHexFile(file, 10u * 1000 * 1000);
    const double megabytes = static_cast<double>(fs::file_size(file)) / 1e6;
    const long rssBefore = PeakRssKb();

    int status = 0;
    auto start = std::chrono::steady_clock::now();
    {
        std::ifstream in(file, std::ios::binary);
        const UpgradeFileResult result = ValidateUpgradeFile(in);
        if (!result) {
            std::printf("validation failed: %s\n", result.error.c_str());
            status = 1;
        }
    }
    const double validateSeconds = Seconds(start);

    start = std::chrono::steady_clock::now();
    std::uint64_t words = 0, checksum = 0;
    {
        std::ifstream in(file, std::ios::binary);
        UpgradeFileWalk walk(in);
        while (walk.Next() == UpgradeFileWalk::Step::Data) {
            for (std::uint16_t w : walk.Record().Words())
                checksum += w;
            words += walk.Record().wordCount;
        }
        if (!walk.Result())
            status = 1;
    }
    const double walkSeconds = Seconds(start);
    const long rssAfter = PeakRssKb();

    const double validateRate = megabytes / validateSeconds;
    const double walkRate = megabytes / walkSeconds;
    std::printf("file: %.1f MB, %llu words (sum %llu)\n", megabytes,
                static_cast<unsigned long long>(words), static_cast<unsigned long long>(checksum));
    std::printf("validate: %.3f s, %.1f MB/s\n", validateSeconds, validateRate);
    std::printf("walk:     %.3f s, %.1f MB/s\n", walkSeconds, walkRate);
    std::printf("peak RSS: %ld kB before, %ld kB after, delta %ld kB\n", rssBefore, rssAfter,
                rssAfter - rssBefore);
#ifndef NDEBUG
    std::printf("(unoptimised build: measure a Release or RelWithDebInfo build)\n");
#endif
    std::printf("target over 50 MB/s: %s\n",
                validateRate > 50 && walkRate > 50 ? "met" : "NOT met");
    fs::remove_all(dir);
    return status;
}
