#pragma once

#include <cstdint>

// What a long run of controller work (table transfer, firmware upgrade, error
// log export) tells whoever watches it, and asks of it. The window shows a
// progress dialog behind it, the command line a bar on standard error, and
// the tests record the calls; the run itself is the same code in each case.
//
// A run calls SetRange once, then SetPos after each step and Cancelled()
// between steps, on its own thread. Cancelled() is also where a window keeps
// itself alive (it handles its waiting events), so a run calls it at least
// as often as it wants the window to respond.
namespace kestrum {

class RunProgress
{
public:
    virtual ~RunProgress() = default;
    virtual void SetRange(std::int64_t lower, std::int64_t upper) = 0;
    virtual void SetPos(std::int64_t pos) = 0;
    virtual bool Cancelled() = 0;
};

// For runs nobody watches.
class NoProgress final : public RunProgress
{
public:
    void SetRange(std::int64_t, std::int64_t) override {}
    void SetPos(std::int64_t) override {}
    bool Cancelled() override { return false; }
};

} // namespace kestrum
