#include "cli/exit_status.h"
#include "cli/session.h"
#include "tools/memory_access.h"
#include "tools/parse_byte_value.h"

#include <cstdio>
#include <optional>

// memory read / write: one FLASH word, EEPROM byte or RAM cell, read and
// reported as the memory viewer reports it.
namespace kestrum::cli {
namespace {

std::optional<MemoryArea> AreaNamed(const std::string& name)
{
    if (name == "flash")
        return MemoryArea::Flash;
    if (name == "eeprom")
        return MemoryArea::Eeprom;
    if (name == "ram")
        return MemoryArea::Ram;
    return std::nullopt;
}

Json ReadJson(const MemoryAccess& access, const MemoryResult& result)
{
    switch (access.area) {
    case MemoryArea::Flash:
        return {{"memory", "flash"}, {"address", access.address}, {"value", result.word}};
    case MemoryArea::Eeprom:
        return {{"memory", "eeprom"}, {"address", access.address}, {"value", result.bytes[0]}};
    case MemoryArea::Ram:
        break;
    }
    return {{"memory", "ram"}, {"address", access.address}, {"values", result.bytes}};
}

} // namespace

int RunMemory(Session& session)
{
    const std::string& action = session.Word(1);
    const bool write = action == "write";
    if ((action != "read" && !write) || session.WordCount() != (write ? 5u : 4u))
        return UsageError("memory takes read flash|eeprom|ram ADDR or write flash|eeprom|ram "
                          "ADDR VALUE");
    const auto area = AreaNamed(session.Word(2));
    if (!area)
        return UsageError("the memory is flash, eeprom or ram");
    MemoryAccess access{.area = *area, .write = write};
    for (std::size_t word = 3; word < session.WordCount(); ++word) {
        const auto number = ParseMemoryNumber(session.Word(word), *area);
        if (!number)
            return UsageError(std::string(kInvalidNumberText) + " \"" + session.Word(word) + "\"");
        (word == 3 ? access.address : access.value) = *number;
    }
    // Refused before the controller is looked for: nothing is sent.
    if (const MemoryRefusal refusal = CheckMemoryAccess(access); refusal != MemoryRefusal::None)
        return UsageError(RefusalText(access, refusal));
    if (!Connect(session))
        return kNoController;
    MemoryResult result;
    try {
        result = RunMemoryAccess(session.link, access);
    } catch (const CControllerException&) {
        return NotResponding();
    }
    if (write) {
        std::printf("%s\n", result.text.c_str());
        return result.status == MemoryResult::Status::Done ? kSuccess : kNoController;
    }
    if (result.status != MemoryResult::Status::Done)
        return NotResponding();
    if (session.options.json)
        PrintJson(ReadJson(access, result));
    else
        std::printf("%s\n", result.text.c_str());
    return kSuccess;
}

} // namespace kestrum::cli
