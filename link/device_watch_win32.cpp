#ifdef _WIN32

#include "link/device_watch.h"

#include <condition_variable>
#include <mutex>
#include <thread>
// windows.h first: dbt.h and initguid.h use its types without including it.
// clang-format off
#include <windows.h>
#include <dbt.h>
#include <initguid.h>
// clang-format on

// The ports class of device interfaces (GUID_DEVINTERFACE_COMPORT), spelled
// out: the header that declares it is not in every tool chain.
DEFINE_GUID(kPortsInterfaceClass, 0x86E0D1E0L, 0x8089, 0x11D0, 0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30,
            0x1F, 0x73);

namespace kestrum {

namespace {

constexpr const wchar_t* kWindowClass = L"KestrumDeviceWatch";

// "COM5" from a device interface path's friendly registry value, when the
// interface names a port. The notification carries only the interface path
// (\\?\USB#VID_...#{guid}); the port name lives in the device's parameters.
std::string PortNameOfInterface(const wchar_t* interfacePath)
{
    std::wstring key = L"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\"
                       L"{86e0d1e0-8089-11d0-9ce4-08003e301f73}\\";
    std::wstring path = interfacePath;
    // \\?\X#Y#Z#{guid} is registered as ##?#X#Y#Z#{guid}.
    if (path.rfind(L"\\\\?\\", 0) == 0)
        path = L"##?#" + path.substr(4);
    key += path + L"\\#\\Device Parameters";
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"PortName", RRF_RT_REG_SZ, nullptr, name,
                     &size) != ERROR_SUCCESS)
        return {};
    std::string port;
    for (const wchar_t* c = name; *c != 0; ++c)
        port.push_back(static_cast<char>(*c));
    return port;
}

} // namespace

struct DeviceWatch::Impl
{
    std::thread thread;
    std::mutex mutex;
    std::condition_variable ready;
    bool started = false;
    HWND window = nullptr;
    HDEVNOTIFY notification = nullptr;
    Appeared appeared;
    Removed removed;

    void Run();
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

DeviceWatch::DeviceWatch() : impl_(std::make_unique<Impl>()) {}

DeviceWatch::~DeviceWatch()
{
    Stop();
}

bool DeviceWatch::Running() const
{
    return impl_->thread.joinable();
}

// The window lives on the watch's thread, which pumps its messages; the
// notification arrives as WM_DEVICECHANGE there.
bool DeviceWatch::Start(const std::vector<std::string>&, Appeared appeared, Removed removed)
{
    Stop();
    Impl& d = *impl_;
    d.appeared = std::move(appeared);
    d.removed = std::move(removed);
    d.started = false;
    d.thread = std::thread([&d] { d.Run(); });
    std::unique_lock lock(d.mutex);
    d.ready.wait(lock, [&d] { return d.started; });
    if (d.window == nullptr) {
        lock.unlock();
        d.thread.join();
        return false;
    }
    return true;
}

void DeviceWatch::Stop()
{
    Impl& d = *impl_;
    if (!d.thread.joinable())
        return;
    HWND window = nullptr;
    {
        std::lock_guard lock(d.mutex);
        window = d.window;
    }
    if (window != nullptr)
        PostMessageW(window, WM_CLOSE, 0, 0);
    d.thread.join();
}

void DeviceWatch::Impl::Run()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Impl::Procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass); // fails harmlessly when registered already
    HWND created = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   instance, nullptr);
    if (created != nullptr) {
        SetWindowLongPtrW(created, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = kPortsInterfaceClass;
        notification = RegisterDeviceNotificationW(created, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
    {
        std::lock_guard lock(mutex);
        window = created;
        started = true;
    }
    ready.notify_all();
    if (created == nullptr)
        return;

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    if (notification != nullptr)
        UnregisterDeviceNotification(notification);
    notification = nullptr;
    std::lock_guard lock(mutex);
    window = nullptr;
}

LRESULT CALLBACK DeviceWatch::Impl::Procedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam)
{
    auto* self = reinterpret_cast<Impl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    if (message == WM_DEVICECHANGE && self != nullptr && lParam != 0 &&
        (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
        const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
        std::string name;
        if (header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE)
            name = PortNameOfInterface(
                reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header)->dbcc_name);
        else if (header->dbch_devicetype == DBT_DEVTYP_PORT)
            for (const wchar_t* c =
                     reinterpret_cast<const DEV_BROADCAST_PORT_W*>(header)->dbcp_name;
                 *c != 0; ++c)
                name.push_back(static_cast<char>(*c));
        if (wParam == DBT_DEVICEARRIVAL && self->appeared)
            self->appeared(name);
        else if (wParam == DBT_DEVICEREMOVECOMPLETE && self->removed)
            self->removed(name);
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace kestrum

#endif // _WIN32
