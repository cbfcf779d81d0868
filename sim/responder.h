#pragma once

#include "link/packet.h"
#include "sim/memory_image.h"
#include "sim/simulator.h"

#include <optional>

namespace kestrum::sim {

// Carries out one well-formed request on the memories as the controller's
// firmware does and returns its answer; writes and the reset answer nothing.
std::optional<Packet> Respond(MemoryImage& image, const Packet& request);

// Applies the faults that alter an answer's contents (code, address, value);
// the checksum stays valid, so the tool has to judge the contents.
void Falsify(Packet& answer, const Faults& faults);

} // namespace kestrum::sim
