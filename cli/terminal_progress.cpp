#include "cli/terminal_progress.h"

#include <csignal>
#include <string>

#ifdef _WIN32
#include <io.h>
#define KESTRUM_ISATTY _isatty
#define KESTRUM_FILENO _fileno
#else
#include <unistd.h>
#define KESTRUM_ISATTY isatty
#define KESTRUM_FILENO fileno
#endif

namespace kestrum::cli {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int)
{
    if (interrupted != 0) {
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
        return;
    }
    interrupted = 1;
}

} // namespace

TerminalProgress::TerminalProgress(const char* label)
    : label_(label), shown_(KESTRUM_ISATTY(KESTRUM_FILENO(stderr)) != 0)
{}

TerminalProgress::~TerminalProgress()
{
    if (shown_ && percent_ >= 0)
        std::fputc('\n', stderr);
}

void TerminalProgress::SetRange(std::int64_t lower, std::int64_t upper)
{
    lower_ = lower;
    upper_ = upper;
    SetPos(lower);
}

void TerminalProgress::SetPos(std::int64_t pos)
{
    if (!shown_)
        return;
    const std::int64_t span = upper_ > lower_ ? upper_ - lower_ : 1;
    const std::int64_t done = pos < lower_ ? 0 : pos > upper_ ? span : pos - lower_;
    const int percent = static_cast<int>(done * 100 / span);
    if (percent == percent_)
        return;
    percent_ = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r%s [%s%s] %3d%%", label_, std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), percent);
    std::fflush(stderr);
}

bool TerminalProgress::Cancelled()
{
    return Interrupted();
}

void TerminalProgress::InstallInterruptHandler()
{
    std::signal(SIGINT, OnInterrupt);
}

bool TerminalProgress::Interrupted()
{
    return interrupted != 0;
}

} // namespace kestrum::cli
