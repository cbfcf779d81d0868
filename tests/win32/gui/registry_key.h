#pragma once

// The program's settings key in the registry, read and written with the
// Win32 calls themselves, so that the tests see what another program (or
// regedit) would see rather than what QSettings reports back.
#include <cstdint>
#include <optional>
#include <windows.h>

namespace kestrum::test {

inline constexpr const wchar_t* kSettingsKey = L"Software\\Quorvel\\Quorvel Kestrum\\Settings";

struct RegistryValue
{
    DWORD type = REG_NONE;
    std::uint32_t number = 0; // the first four bytes of the data
};

inline std::optional<RegistryValue> ReadSettingsValue(const wchar_t* name)
{
    RegistryValue value;
    BYTE data[64] = {};
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_ANY | RRF_NOEXPAND, &value.type,
                     data, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    if (size >= sizeof value.number) {
        value.number = static_cast<std::uint32_t>(data[0]) |
                       (static_cast<std::uint32_t>(data[1]) << 8) |
                       (static_cast<std::uint32_t>(data[2]) << 16) |
                       (static_cast<std::uint32_t>(data[3]) << 24);
    }
    return value;
}

inline bool WriteSettingsDword(const wchar_t* name, std::uint32_t number)
{
    const DWORD data = number;
    return RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, name, REG_DWORD, &data, sizeof data) ==
           ERROR_SUCCESS;
}

// Removes the program's whole key, so that every test starts as a first run.
inline void RemoveProgramKey()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvel\\Quorvel Kestrum");
}

class ScopedCleanKey
{
public:
    ScopedCleanKey() { RemoveProgramKey(); }
    ~ScopedCleanKey() { RemoveProgramKey(); }
    ScopedCleanKey(const ScopedCleanKey&) = delete;
    ScopedCleanKey& operator=(const ScopedCleanKey&) = delete;
};

} // namespace kestrum::test
