#pragma once

#include "link/packet.h"

#include <cstddef>
#include <optional>

namespace kestrum::sim {

// Cuts the byte stream from the tool into 7-byte requests. A frame starts at
// a request header; a frame whose checksum fails is dropped, and assembly
// restarts at the next header byte inside it, so one lost byte costs at most
// the frame it hit.
class RequestAssembler
{
public:
    // Returns a request when `byte` completed a well-formed one.
    std::optional<Packet> Feed(std::uint8_t byte);

private:
    Packet frame_{};
    std::size_t length_ = 0;
};

} // namespace kestrum::sim
