#include "link/line_quality.h"

#include <algorithm>

namespace kestrum {

unsigned LineQualitySnapshot::ResendPercent() const
{
    if (transactions == 0)
        return 0;
    return static_cast<unsigned>((resent * 100 + transactions / 2) / transactions);
}

void LineQuality::Record(bool resent)
{
    std::lock_guard lock(mutex_);
    resent_[next_] = resent;
    next_ = (next_ + 1) % kWindow;
    count_ = std::min(count_ + 1, kWindow);
}

void LineQuality::Reset()
{
    std::lock_guard lock(mutex_);
    next_ = 0;
    count_ = 0;
}

LineQualitySnapshot LineQuality::Snapshot() const
{
    std::lock_guard lock(mutex_);
    LineQualitySnapshot snapshot;
    snapshot.transactions = count_;
    // With fewer than kWindow kept, the kept ones are the first count_ slots.
    snapshot.resent = static_cast<std::size_t>(
        std::count(resent_.begin(), resent_.begin() + static_cast<std::ptrdiff_t>(count_), true));
    return snapshot;
}

} // namespace kestrum
