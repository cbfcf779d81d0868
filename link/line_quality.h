#pragma once

#include <array>
#include <cstddef>
#include <mutex>

// Whether the line needs resends more often than a sound line does. A line
// that answers only on the second or third send still answers, so the link
// state alone says "Answering"; this keeps the last transactions' resends to
// tell a poor line from a good one.
namespace kestrum {

struct LineQualitySnapshot
{
    std::size_t transactions = 0; // of the last kWindow, how many there were
    std::size_t resent = 0;       // of those, how many needed a resend
    // More than one transaction in ten needed a resend.
    bool Poor() const { return resent * 10 > transactions; }
    // Resent transactions in percent of those kept (0 with none).
    unsigned ResendPercent() const;
};

class LineQuality
{
public:
    static constexpr std::size_t kWindow = 50;

    // One finished transaction, and whether it was sent more than once.
    void Record(bool resent);
    // A new line: nothing of the previous one counts.
    void Reset();
    LineQualitySnapshot Snapshot() const;

private:
    mutable std::mutex mutex_;
    std::array<bool, kWindow> resent_{};
    std::size_t next_ = 0;  // where the next transaction goes
    std::size_t count_ = 0; // up to kWindow
};

} // namespace kestrum
