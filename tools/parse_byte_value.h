#pragma once

#include <cstdint>
#include <string>

// The memory viewer's reading of a byte field: decimal ("12", blanks around
// it allowed) or hexadecimal ("0x1F", "x1f", either case).
//
// On success `value` takes the number and `text` becomes it as "0x%02X".
// On failure the caller tells the user kInvalidNumberText, and:
// - an empty text, or a number above 255, leaves both as they were;
// - a character that does not belong to the number's form sets `value` to 0
//   and `text` to "0x00".
namespace kestrum {

inline constexpr const char* kInvalidNumberText = "Invalid number";

bool ParseByteValue(std::string& text, std::uint8_t& value);

// The same reading for a 16-bit FLASH address or word, for the command line
// where one number stands for both bytes: up to 0xFFFF, shown as "0x%04X".
bool ParseWordValue(std::string& text, std::uint16_t& value);

} // namespace kestrum
