#pragma once

#include <QSettings>

namespace kestrum {

struct CommTimings;

// The tool's own settings: the per-user store of the application identity
// set by CMonitorApp (on Windows HKCU\Software\Quorvel\Quorvel Kestrum, on
// Linux $XDG_CONFIG_HOME/Quorvel/Quorvel Kestrum.conf), group "Settings",
// every value a 32-bit integer.

// The window values kept between runs. `top` is the window's top edge plus
// the height of its caption, frame and menu (the top of the page sheet).
struct WindowPlacement
{
    int view = 0;
    int left = 0;
    int top = 0;
};

// Reads "WriteDelay", "ReadWriteTries", "RetryDelay", "ResetTries" and
// "ResetDelay" straight into the live timings, each with its default when
// missing, unreadable or outside what the Timings dialog accepts.
void LoadTimings(QSettings& store, CommTimings& timings);
// Writes the five values in the same order.
void SaveTimings(QSettings& store, const CommTimings& timings);

// Reads "View" (default 0), "Left" (default 0) and "Top" (default
// `chromeHeight`, so that a first start opens at the screen's corner).
WindowPlacement LoadPlacement(QSettings& store, int chromeHeight);
// Writes "View", "Left" and "Top" in that order.
void SavePlacement(QSettings& store, const WindowPlacement& placement);

// The group all values live in.
inline constexpr const char* kSettingsGroup = "Settings";

} // namespace kestrum
