#include "tools/memory_access.h"

#include "link/controller.h"
#include "tools/parse_byte_value.h"

#include <cstdio>

namespace kestrum {
namespace {

std::string Format(const char* format, auto... values)
{
    char text[128];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

const char* AreaName(MemoryArea area)
{
    switch (area) {
    case MemoryArea::Flash:
        return "FLASH";
    case MemoryArea::Eeprom:
        return "EEPROM";
    case MemoryArea::Ram:
        break;
    }
    return "RAM";
}

MemoryResult Read(CController& link, const MemoryAccess& access)
{
    MemoryResult result;
    result.status = MemoryResult::Status::Failed;
    const unsigned address = access.address;
    switch (access.area) {
    case MemoryArea::Flash:
        if (!link.ReadFlash(static_cast<std::uint16_t>(address), result.word))
            return result;
        result.text = Format("Flash address 0x%02X%02X (%u) = 0x%04X (%u)", address >> 8,
                             address & 0xFF, address, unsigned{result.word}, unsigned{result.word});
        break;
    case MemoryArea::Eeprom:
        if (!link.ReadEeprom(address, result.bytes[0]))
            return result;
        result.text = Format("Eeprom address 0x%02X (%u) = 0x%02X (%u)", address, address,
                             unsigned{result.bytes[0]}, unsigned{result.bytes[0]});
        break;
    case MemoryArea::Ram: {
        std::uint8_t bytes[3] = {};
        if (!link.ReadRam(address, bytes))
            return result;
        result.bytes = {bytes[0], bytes[1], bytes[2]};
        // The last address is not wrapped: 0xFE reads up to "0x100".
        const unsigned last = address + 2;
        result.text =
            Format("Ram address 0x%02X - 0x%02X (%u - %u) = 0x%02X 0x%02X 0x%02X", address, last,
                   address, last, unsigned{bytes[0]}, unsigned{bytes[1]}, unsigned{bytes[2]});
        break;
    }
    }
    result.status = MemoryResult::Status::Done;
    return result;
}

MemoryResult Write(CController& link, const MemoryAccess& access)
{
    bool written = false;
    switch (access.area) {
    case MemoryArea::Flash:
        written = link.WriteFlash(static_cast<std::uint16_t>(access.address),
                                  static_cast<std::uint16_t>(access.value));
        break;
    case MemoryArea::Eeprom:
        written = link.WriteEeprom(access.address, access.value);
        break;
    case MemoryArea::Ram:
        written = link.WriteRam(access.address, access.value);
        break;
    }
    MemoryResult result;
    result.status = written ? MemoryResult::Status::Done : MemoryResult::Status::Failed;
    result.text = written ? "Write succeeded" : "Write failed";
    return result;
}

} // namespace

MemoryRefusal CheckMemoryAccess(const MemoryAccess& access)
{
    const bool flash = access.area == MemoryArea::Flash;
    if (access.address > (flash ? kLastFlashAddress : kLastByteAddress))
        return MemoryRefusal::Address;
    if (access.write && access.value > (flash ? kLargestFlashWord : kLargestByte))
        return MemoryRefusal::Value;
    return MemoryRefusal::None;
}

std::string RefusalText(const MemoryAccess& access, MemoryRefusal refusal)
{
    const bool flash = access.area == MemoryArea::Flash;
    switch (refusal) {
    case MemoryRefusal::Address:
        return Format("%s addresses go from 0 to 0x%X; 0x%X is past the end", AreaName(access.area),
                      flash ? kLastFlashAddress : kLastByteAddress, access.address);
    case MemoryRefusal::Value:
        return flash ? Format("FLASH words hold 14 bits, 0 to 0x%X; 0x%X does not fit",
                              kLargestFlashWord, access.value)
                     : Format("%s holds bytes, 0 to 0x%X; 0x%X does not fit", AreaName(access.area),
                              kLargestByte, access.value);
    case MemoryRefusal::None:
        break;
    }
    return {};
}

std::optional<unsigned> ParseMemoryNumber(const std::string& text, MemoryArea area)
{
    std::string copy = text;
    if (area == MemoryArea::Flash) {
        std::uint16_t word = 0;
        if (ParseWordValue(copy, word))
            return word;
    } else {
        std::uint8_t byte = 0;
        if (ParseByteValue(copy, byte))
            return byte;
    }
    return std::nullopt;
}

MemoryResult RunMemoryAccess(CController& link, const MemoryAccess& access)
{
    if (const MemoryRefusal refusal = CheckMemoryAccess(access); refusal != MemoryRefusal::None) {
        MemoryResult result;
        result.refusal = refusal;
        return result;
    }
    return access.write ? Write(link, access) : Read(link, access);
}

} // namespace kestrum
