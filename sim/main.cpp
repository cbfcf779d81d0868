// kestrum-sim: a simulated motor controller on a pseudo-terminal, for trying
// the tool without hardware. Prints the port to open as its first line.
#include "sim/simulator.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace {

constexpr const char* kUsage = R"(Usage: kestrum-sim [options]

Plays a motor controller on a pseudo-terminal. The first line printed is the
serial port to open (for example: KESTRUM_PORTS=<that path> kestrum). Runs
until interrupted (Ctrl+C) or terminated.

Options:
  --model CODE   model code stored at EEPROM 127 (0..255, decimal or 0x..)
  --image FILE   load the memory image from FILE if it exists, save it back
                 on exit, so what the tool wrote is kept between runs
  --swap FILE    on SIGUSR1, load the memory image FILE while the port stays
                 open: another controller behind the same line, as when a
                 cable moves to the next cart with the adapter plugged in
  --pacing       answer at the speed of a 9600 bit/s line
  --no-gauges    keep the live gauges still (RAM reads return what is stored)
  --trace        after the port line, print every request received as a line
                 "request" followed by its seven bytes in hexadecimal
  --silent       answer nothing
  --delay MS     wait MS milliseconds before every answer
  --drop N       drop every Nth answer
  --corrupt N    send every Nth answer with a bad checksum
  --help         show this text

Image file: binary, 65800 bytes: the 8 bytes "KSIMIMG1", then the 256 EEPROM
bytes (address 0 first), then the 32768 FLASH words (word 0 first), each word
low byte first. RAM is not kept: it starts cleared, as after power-up, with
the mode byte (RAM 0x50) set by FLASH word 2 (0x2A03 firmware, 0x2A00
bootloader).
)";

std::optional<unsigned long> ParseNumber(const char* text, unsigned long max)
{
    if (text == nullptr || *text == '\0' || *text == '-')
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 0);
    if (errno != 0 || *end != '\0' || value > max)
        return std::nullopt;
    return value;
}

// One line per request, written whole and flushed, so that a script can
// wait for a given request (the probe, say) by reading lines.
void PrintRequest(const kestrum::Packet& request)
{
    char line[64];
    std::snprintf(line, sizeof line, "request %02X %02X %02X %02X %02X %02X %02X\n", request[0],
                  request[1], request[2], request[3], request[4], request[5], request[6]);
    std::fputs(line, stdout);
    std::fflush(stdout);
}

bool FileExists(const std::string& path)
{
    struct stat info
    {};
    return stat(path.c_str(), &info) == 0;
}

int Fail(const std::string& message)
{
    std::cerr << "kestrum-sim: " << message << "\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    // Blocked first thing: the serving thread inherits the mask, and a
    // signal that comes early waits for sigwait instead of killing us
    // before the image is saved. A closed terminal (SIGHUP) ends the run
    // the same way.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A reader of the output that has gone (`kestrum-sim --trace | head -1`)
    // must not kill us with the image unsaved: the trace write fails, and
    // serving goes on until we are stopped.
    std::signal(SIGPIPE, SIG_IGN);

    kestrum::sim::Options options;
    options.recordTranscript = false; // nobody reads it here, and it would only grow
    kestrum::sim::Faults faults;
    std::optional<std::uint8_t> model;
    std::string imagePath;
    std::string swapPath;
    bool trace = false;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto number = [&](unsigned long max) {
            ++i;
            return ParseNumber(value, max);
        };
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--pacing") {
            options.pacing = true;
        } else if (arg == "--no-gauges") {
            options.liveGauges = false;
        } else if (arg == "--trace") {
            trace = true;
        } else if (arg == "--silent") {
            faults.silent = true;
        } else if (arg == "--model") {
            const auto code = number(255);
            if (!code)
                return Fail("--model needs a code from 0 to 255");
            model = static_cast<std::uint8_t>(*code);
        } else if (arg == "--image") {
            if (value == nullptr)
                return Fail("--image needs a file name");
            imagePath = value;
            ++i;
        } else if (arg == "--swap") {
            if (value == nullptr)
                return Fail("--swap needs a file name");
            swapPath = value;
            ++i;
        } else if (arg == "--delay") {
            const auto ms = number(60'000);
            if (!ms)
                return Fail("--delay needs milliseconds from 0 to 60000");
            faults.answerDelay = std::chrono::milliseconds(*ms);
        } else if (arg == "--drop" || arg == "--corrupt") {
            const auto every = number(1'000'000);
            if (!every)
                return Fail(arg + " needs a count");
            (arg == "--drop" ? faults.dropEvery : faults.corruptEvery) =
                static_cast<unsigned>(*every);
        } else {
            return Fail("unknown option " + arg + " (see --help)");
        }
    }

    kestrum::sim::Simulator simulator(options);
    if (!imagePath.empty() && FileExists(imagePath) && !simulator.LoadImage(imagePath))
        return Fail("cannot read image " + imagePath + " (not overwritten)");
    if (model)
        simulator.SetEeprom(127, *model);
    simulator.SetFaults(faults);
    if (trace)
        simulator.SetRequestObserver(PrintRequest);
    if (!simulator.Start())
        return Fail(std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));

    std::cout << simulator.PortPath() << std::endl;
    std::cerr << "kestrum-sim: serving; stop with Ctrl+C\n";

    int received = 0;
    while (sigwait(&signals, &received) == 0 && received == SIGUSR1) {
        if (swapPath.empty())
            continue;
        if (simulator.LoadImage(swapPath))
            std::cerr << "kestrum-sim: memory image " << swapPath << " loaded\n";
        else
            std::cerr << "kestrum-sim: cannot read image " << swapPath << "\n";
    }
    simulator.Stop();
    if (!imagePath.empty() && !simulator.SaveImage(imagePath))
        return Fail("cannot save image " + imagePath);
    return 0;
}
