#ifdef _WIN32

// clang-format off
#include <windows.h> // before setupapi.h, which needs its types
#include <setupapi.h>
// clang-format on

#include "link/port_names.h"

// The device-setup library is loaded only while a listing runs, so the tool
// starts (and finds a port by the COMn names) where it is missing.
namespace kestrum {

namespace {

using ClassGuidsFromNameA = BOOL(WINAPI*)(PCSTR, LPGUID, DWORD, PDWORD);
using GetClassDevsA = HDEVINFO(WINAPI*)(const GUID*, PCSTR, HWND, DWORD);
using EnumDeviceInfo = BOOL(WINAPI*)(HDEVINFO, DWORD, PSP_DEVINFO_DATA);
using OpenDevRegKey = HKEY(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, DWORD, DWORD, REGSAM);
using GetDeviceRegistryPropertyA = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE,
                                                 DWORD, PDWORD);
using DestroyDeviceInfoList = BOOL(WINAPI*)(HDEVINFO);

struct SetupApi
{
    ClassGuidsFromNameA classGuidsFromName = nullptr;
    GetClassDevsA getClassDevs = nullptr;
    EnumDeviceInfo enumDeviceInfo = nullptr;
    OpenDevRegKey openDevRegKey = nullptr;
    GetDeviceRegistryPropertyA getDeviceRegistryProperty = nullptr; // looked up, as required
    DestroyDeviceInfoList destroyDeviceInfoList = nullptr;
};

template<typename T>
bool Lookup(HMODULE library, const char* name, T& entry)
{
    entry = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return entry != nullptr;
}

void ListWithSetupApi(const SetupApi& api, std::vector<std::string>& ports)
{
    DWORD count = 0;
    if (!api.classGuidsFromName("Ports", nullptr, 0, &count) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return;
    if (count == 0)
        return;
    std::vector<GUID> guids(count);
    if (!api.classGuidsFromName("Ports", guids.data(), count, &count) || count == 0)
        return;

    const HDEVINFO devices = api.getClassDevs(&guids[0], nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; api.enumDeviceInfo(devices, index, &device); ++index) {
        const HKEY key =
            api.openDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == INVALID_HANDLE_VALUE || key == nullptr)
            continue;
        char name[256] = {};
        DWORD size = sizeof name - 1; // room kept for a terminator the value may lack
        DWORD type = 0;
        if (RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<LPBYTE>(name),
                             &size) == ERROR_SUCCESS &&
            type == REG_SZ) {
            name[size < sizeof name ? size : sizeof name - 1] = '\0';
            if (IsAcceptablePortName(name))
                ports.emplace_back(name);
        }
        RegCloseKey(key);
    }
    api.destroyDeviceInfoList(devices);
}

} // namespace

std::vector<std::string> ListPresentPorts()
{
    std::vector<std::string> ports;
    const HMODULE library = LoadLibraryA("SETUPAPI.DLL");
    if (library == nullptr)
        return ports;
    SetupApi api;
    const bool complete =
        Lookup(library, "SetupDiOpenDevRegKey", api.openDevRegKey) &&
        Lookup(library, "SetupDiClassGuidsFromNameA", api.classGuidsFromName) &&
        Lookup(library, "SetupDiGetClassDevsA", api.getClassDevs) &&
        Lookup(library, "SetupDiGetDeviceRegistryPropertyA", api.getDeviceRegistryProperty) &&
        Lookup(library, "SetupDiDestroyDeviceInfoList", api.destroyDeviceInfoList) &&
        Lookup(library, "SetupDiEnumDeviceInfo", api.enumDeviceInfo);
    if (complete)
        ListWithSetupApi(api, ports);
    FreeLibrary(library);
    return ports;
}

std::string DevicePathForPortName(const std::string& name)
{
    // A bare "COM10" and above is no device name for CreateFileA; the
    // device namespace form opens every COM port, COM1 to COM9 included.
    if (IsAcceptablePortName(name))
        return "\\\\.\\" + name;
    return name;
}

} // namespace kestrum

#endif // _WIN32
