#include "settings/identity.h"

namespace kestrum {

std::string SerialNumberText(std::uint8_t low, std::uint8_t middle, std::uint8_t high)
{
    const std::uint32_t value = low | (std::uint32_t{middle} << 8) | (std::uint32_t{high} << 16);
    if (value == 0xFFFFFF)
        return "blank";
    return std::to_string(value);
}

std::string FieldMapText(std::uint16_t word)
{
    return std::to_string(word & 0xFFu);
}

} // namespace kestrum
