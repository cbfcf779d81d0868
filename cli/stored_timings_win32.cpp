#include "cli/stored_timings.h"

#include <cstdint>
#include <optional>
#include <windows.h>

namespace kestrum::cli {

void LoadStoredTimings(CommTimings& timings)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quorvel\\Quorvel Kestrum\\Settings", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        key = nullptr;
    kestrum::LoadStoredTimings(timings, [key](const char* name) -> std::optional<std::int64_t> {
        DWORD value = 0;
        DWORD size = sizeof value;
        DWORD type = 0;
        if (key != nullptr &&
            RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD)
            return value;
        return std::nullopt;
    });
    if (key != nullptr)
        RegCloseKey(key);
}

} // namespace kestrum::cli
