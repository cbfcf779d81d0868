#include "sim/request_assembler.h"

#include <algorithm>

namespace kestrum::sim {

std::optional<Packet> RequestAssembler::Feed(std::uint8_t byte)
{
    if (length_ == 0 && byte != kRequestHeader)
        return std::nullopt;
    frame_[length_++] = byte;
    if (length_ < kPacketSize)
        return std::nullopt;

    if (HasValidChecksum(frame_)) {
        length_ = 0;
        return frame_;
    }
    const auto next = std::find(frame_.begin() + 1, frame_.end(), kRequestHeader);
    length_ = static_cast<std::size_t>(frame_.end() - next);
    std::copy(next, frame_.end(), frame_.begin());
    return std::nullopt;
}

} // namespace kestrum::sim
