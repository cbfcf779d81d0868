// The Windows device watch: its message-only window is created and
// registered for the ports class, and what it does with a WM_DEVICECHANGE.
// Wine sends no device-interface arrival or removal for its COM ports (they
// are links in the prefix, not devices), so the message is sent here by
// hand to the watch's own window: this proves the window, its thread and
// the dispatch, not that Windows delivers the notification.
#include "link/device_watch.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
// clang-format off
#include <windows.h>
#include <dbt.h>
// clang-format on

namespace kestrum {
namespace {

HWND WatchWindow()
{
    return FindWindowExW(HWND_MESSAGE, nullptr, L"KestrumDeviceWatch", nullptr);
}

// What a port's arrival or removal carries, sent synchronously: the
// callback has run on the watch's thread when SendMessage returns.
void SendPortChange(HWND window, WPARAM change, const wchar_t* name)
{
    struct
    {
        DEV_BROADCAST_PORT_W header;
        wchar_t rest[16];
    } port{};
    port.header.dbcp_size = sizeof port;
    port.header.dbcp_devicetype = DBT_DEVTYP_PORT;
    wcsncpy(port.header.dbcp_name, name, 15);
    SendMessageW(window, WM_DEVICECHANGE, change, reinterpret_cast<LPARAM>(&port));
}

TEST(DeviceWatchWine, portArrivalAndRemoval_toldWithTheirNames)
{
    std::vector<std::string> appeared;
    std::vector<std::string> removed;
    DeviceWatch watch;
    ASSERT_TRUE(watch.Start(
        {}, [&appeared](const std::string& name) { appeared.push_back(name); },
        [&removed](const std::string& name) { removed.push_back(name); }));
    const HWND window = WatchWindow();
    ASSERT_NE(window, nullptr);

    SendPortChange(window, DBT_DEVICEARRIVAL, L"COM7");
    SendPortChange(window, DBT_DEVICEREMOVECOMPLETE, L"COM7");
    SendPortChange(window, DBT_DEVICEQUERYREMOVE, L"COM8"); // not ours to act on

    EXPECT_EQ(appeared, std::vector<std::string>{"COM7"});
    EXPECT_EQ(removed, std::vector<std::string>{"COM7"});
}

} // namespace
} // namespace kestrum
