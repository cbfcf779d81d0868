#include "cli/stored_timings.h"

#include <windows.h>

namespace kestrum::cli {

void LoadStoredTimings(CommTimings& timings)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quorvel\\Quorvel Kestrum\\Settings", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (const char* name :
         {"WriteDelay", "ReadWriteTries", "RetryDelay", "ResetTries", "ResetDelay"}) {
        DWORD value = 0;
        DWORD size = sizeof value;
        DWORD type = 0;
        std::optional<long long> stored;
        if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD)
            stored = value;
        ApplyStoredTiming(timings, name, stored);
    }
    RegCloseKey(key);
}

} // namespace kestrum::cli
