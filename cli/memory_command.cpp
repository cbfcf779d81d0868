#include "cli/exit_status.h"
#include "cli/session.h"
#include "tools/parse_byte_value.h"

#include <cctype>
#include <cstdio>
#include <optional>

// memory read / write: one FLASH word, EEPROM byte or RAM cell, read and
// reported as the memory viewer reports it.
namespace kestrum::cli {
namespace {

enum class Memory
{
    Flash,
    Eeprom,
    Ram
};

std::optional<Memory> MemoryNamed(const std::string& name)
{
    if (name == "flash")
        return Memory::Flash;
    if (name == "eeprom")
        return Memory::Eeprom;
    if (name == "ram")
        return Memory::Ram;
    return std::nullopt;
}

// A byte exactly as the viewer's fields read it; a FLASH address or word in
// the same forms with four hexadecimal digits allowed.
std::optional<unsigned> Number(const std::string& text, bool word)
{
    std::string copy = text;
    std::uint8_t byte = 0;
    if (ParseByteValue(copy, byte))
        return byte;
    if (!word)
        return std::nullopt;
    std::string digits;
    for (char c : text) {
        if (!std::isspace(static_cast<unsigned char>(c)))
            digits += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    int base = 10;
    if (digits.starts_with("0x")) {
        digits.erase(0, 2);
        base = 16;
    } else if (digits.starts_with("x")) {
        digits.erase(0, 1);
        base = 16;
    }
    if (digits.empty() || digits.size() > 5)
        return std::nullopt;
    unsigned value = 0;
    for (char c : digits) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : base == 16 && c >= 'a' && c <= 'f'        ? c - 'a' + 10
                                                                      : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * base + static_cast<unsigned>(digit);
    }
    if (value > 0xFFFF)
        return std::nullopt;
    return value;
}

int Read(Session& session, Memory memory, unsigned address)
{
    CController& link = session.link;
    Json json;
    char text[128] = "";
    bool read = false;
    switch (memory) {
    case Memory::Flash: {
        std::uint16_t word = 0;
        read = link.ReadFlash(static_cast<std::uint16_t>(address), word);
        std::snprintf(text, sizeof text, "Flash address 0x%02X%02X (%u) = 0x%04X (%u)",
                      address >> 8, address & 0xFF, address, unsigned{word}, unsigned{word});
        json = {{"memory", "flash"}, {"address", address}, {"value", word}};
        break;
    }
    case Memory::Eeprom: {
        std::uint8_t byte = 0;
        read = link.ReadEeprom(address, byte);
        std::snprintf(text, sizeof text, "Eeprom address 0x%02X (%u) = 0x%02X (%u)", address,
                      address, unsigned{byte}, unsigned{byte});
        json = {{"memory", "eeprom"}, {"address", address}, {"value", byte}};
        break;
    }
    case Memory::Ram: {
        std::uint8_t bytes[3] = {};
        read = link.ReadRam(address, bytes);
        std::snprintf(text, sizeof text,
                      "Ram address 0x%02X - 0x%02X (%u - %u) = 0x%02X 0x%02X 0x%02X", address,
                      address + 2, address, address + 2, unsigned{bytes[0]}, unsigned{bytes[1]},
                      unsigned{bytes[2]});
        json = {
            {"memory", "ram"}, {"address", address}, {"values", {bytes[0], bytes[1], bytes[2]}}};
        break;
    }
    }
    if (!read)
        return NotResponding();
    if (session.options.json)
        PrintJson(json);
    else
        std::printf("%s\n", text);
    return kSuccess;
}

int Write(Session& session, Memory memory, unsigned address, unsigned value)
{
    CController& link = session.link;
    bool written = false;
    switch (memory) {
    case Memory::Flash:
        written =
            link.WriteFlash(static_cast<std::uint16_t>(address), static_cast<std::uint16_t>(value));
        break;
    case Memory::Eeprom:
        written = link.WriteEeprom(address, value);
        break;
    case Memory::Ram:
        written = link.WriteRam(address, value);
        break;
    }
    std::printf("%s\n", written ? "Write succeeded" : "Write failed");
    return written ? kSuccess : kNoController;
}

} // namespace

int RunMemory(Session& session)
{
    const std::string& action = session.Word(1);
    const bool write = action == "write";
    if ((action != "read" && !write) || session.WordCount() != (write ? 5u : 4u))
        return UsageError("memory takes read flash|eeprom|ram ADDR or write flash|eeprom|ram "
                          "ADDR VALUE");
    const auto memory = MemoryNamed(session.Word(2));
    if (!memory)
        return UsageError("the memory is flash, eeprom or ram");
    const bool flash = *memory == Memory::Flash;
    const auto address = Number(session.Word(3), flash);
    if (!address)
        return UsageError("Invalid number \"" + session.Word(3) + "\"");
    std::optional<unsigned> value;
    if (write) {
        value = Number(session.Word(4), flash);
        if (!value)
            return UsageError("Invalid number \"" + session.Word(4) + "\"");
    }
    if (!Connect(session))
        return kNoController;
    try {
        return write ? Write(session, *memory, *address, *value) : Read(session, *memory, *address);
    } catch (const CControllerException&) {
        return NotResponding();
    }
}

} // namespace kestrum::cli
