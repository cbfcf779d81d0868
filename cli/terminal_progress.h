#pragma once

#include "tools/run_progress.h"

#include <cstdio>

namespace kestrum::cli {

// A core run's progress as a bar on standard error when that is a terminal
// (nothing otherwise), and Ctrl+C as its Cancel: once the interrupt handler
// is installed, the first Ctrl+C only raises the flag the run looks at
// between steps, so the run ends where it is safe to; a second one ends the
// program at once.
class TerminalProgress final : public RunProgress
{
public:
    explicit TerminalProgress(const char* label);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void SetRange(std::int64_t lower, std::int64_t upper) override;
    void SetPos(std::int64_t pos) override;
    bool Cancelled() override;

    static void InstallInterruptHandler();
    static bool Interrupted();

private:
    const char* label_;
    bool shown_ = false;
    std::int64_t lower_ = 0;
    std::int64_t upper_ = 0;
    int percent_ = -1;
};

} // namespace kestrum::cli
