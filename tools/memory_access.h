#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// One read or write of a single controller memory cell, as the memory viewer
// and `kestrum-cli memory` make it: the limits of each memory, the access
// itself and the text that describes its result.
namespace kestrum {

class CController;

enum class MemoryArea
{
    Flash,  // 16-bit word addresses, one word per access
    Eeprom, // 8-bit byte addresses, one byte per access
    Ram,    // 8-bit byte addresses; a read gives three bytes, a write stores one
};

// The controller has 32K FLASH words and decodes only 15 address bits, so a
// word address past the last one wraps round onto the start of FLASH (the
// firmware file reader refuses data there for the same reason). Its words
// are 14 bits wide: the upper two bits of a larger value would be lost.
inline constexpr unsigned kLastFlashAddress = 0x7FFF;
inline constexpr unsigned kLargestFlashWord = 0x3FFF;
inline constexpr unsigned kLastByteAddress = 0xFF;
inline constexpr unsigned kLargestByte = 0xFF;

struct MemoryAccess
{
    MemoryArea area = MemoryArea::Flash;
    bool write = false;
    unsigned address = 0;
    unsigned value = 0; // what a write stores
};

// The part of an access its memory cannot take.
enum class MemoryRefusal
{
    None,
    Address,
    Value,
};

MemoryRefusal CheckMemoryAccess(const MemoryAccess& access);
// Says what was refused and what the memory takes, for the command line.
std::string RefusalText(const MemoryAccess& access, MemoryRefusal refusal);

// An address or value typed for `area`, in the memory viewer's forms
// (decimal, or hexadecimal as "0x1F" or "x1f"): a byte, or for FLASH a
// 16-bit number. Whether the memory takes it is CheckMemoryAccess's to say.
std::optional<unsigned> ParseMemoryNumber(const std::string& text, MemoryArea area);

struct MemoryResult
{
    enum class Status
    {
        Refused, // nothing was sent: see `refusal`
        Failed,  // the link reported failure without raising
        Done,
    };
    Status status = Status::Refused;
    MemoryRefusal refusal = MemoryRefusal::None;
    std::uint16_t word = 0;              // a FLASH read
    std::array<std::uint8_t, 3> bytes{}; // an EEPROM read in [0], a RAM read in all three
    // "Flash address 0x0102 (258) = ..." after a read, "Write succeeded" or
    // "Write failed" after a write; empty when the access was refused or a
    // read failed, since nothing was read to describe.
    std::string text;
};

// Checks the access and, when its memory takes it, makes it through the
// link. Raises CControllerException when the controller does not answer.
MemoryResult RunMemoryAccess(CController& link, const MemoryAccess& access);

} // namespace kestrum
