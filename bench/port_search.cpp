// Cost of a fruitless search for the controller: no listed port and none of
// the 256 COM names leading anywhere (they point into an empty temporary
// folder, so no host port is touched). Target: under 50 ms.
//
// A search starts with a probe of the current port, which, with no port
// open, waits one retry delay before giving up. That wait is the configured
// delay and not search work, so it is shown apart: the search is measured
// once with the retry delay at 1 ms, and the 256 names alone through
// TryPorts.
#include "link/controller.h"
#include "link/port_names.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template<typename F>
double MedianMs(int runs, F&& f)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return Median(ms);
}

} // namespace

int main()
{
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "kestrum-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }

    kestrum::CController controller;
    controller.Timings().retryDelay = 1;
    int notices = 0;
    controller.SetNotifier([&notices](const std::string&) { ++notices; });

    // As many absent devices as there are COM names, pinned so that the
    // search meets exactly these and never the host's serial ports.
    std::vector<std::string> names;
    std::string pinned;
    for (int n = 0; n < 256; ++n) {
        names.push_back(pattern + "/ttyS" + std::to_string(n));
        pinned += (n == 0 ? "" : ":") + names.back();
    }
    setenv("KESTRUM_PORTS", pinned.c_str(), 1);

    constexpr int kRuns = 21;
    const double namesMs = MedianMs(kRuns, [&] { controller.TryPorts(names); });
    const double searchMs = MedianMs(kRuns, [&] { controller.LocateController(); });
    controller.Timings().retryDelay = 200;
    const double defaultMs = MedianMs(3, [&] { controller.LocateController(); });
    fs::remove_all(pattern);

    std::printf("fruitless search, 256 absent ports (median of %d runs)\n", kRuns);
    std::printf("  TryPorts over the 256 ports:           %8.3f ms\n", namesMs);
    std::printf(
        "  LocateController, retry delay 1 ms:    %8.3f ms (includes one 1 ms probe wait)\n",
        searchMs);
    std::printf("  target: under 50 ms                    %s\n",
                searchMs < 50.0 ? "met" : "NOT MET");
    std::printf("  LocateController, default 200 ms delay: %8.3f ms (the probe wait dominates)\n",
                defaultMs);
    std::printf("  notifications: %d (one per search expected: %d)\n", notices, kRuns + 3);
#ifndef NDEBUG
    std::printf("  (Debug build: figures are upper bounds)\n");
#endif
    return searchMs < 50.0 && notices == kRuns + 3 ? 0 : 1;
}
