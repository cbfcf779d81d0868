#include "settings/switch_byte.h"

namespace kestrum {

SwitchStates SwitchesFromByte(std::uint8_t switchByte)
{
    SwitchStates states{};
    for (std::size_t i = 0; i < kSwitchCount; ++i) {
        const bool bitSet = (switchByte & kSwitches[i].mask) != 0;
        states[i] = bitSet != kSwitches[i].inverted;
    }
    return states;
}

std::uint8_t SwitchByte(const SwitchStates& states)
{
    std::uint8_t byte = 0;
    for (std::size_t i = 0; i < kSwitchCount; ++i) {
        if (states[i] != kSwitches[i].inverted)
            byte |= kSwitches[i].mask;
    }
    return byte;
}

} // namespace kestrum
