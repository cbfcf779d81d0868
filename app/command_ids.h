#pragma once

// Command ids of the main window's menu bar, the numbers the tool's
// commands have always had. Each menu action's object name is its id in
// decimal, so a running window can be searched by command (see FindCommand
// in main_menu.h).
namespace kestrum::command {

inline constexpr int kTimings = 32772;
inline constexpr int kReadFlash = 32773;
inline constexpr int kReadEeprom = 32774;
inline constexpr int kReadRam = 32775;
inline constexpr int kWriteFlash = 32776;
inline constexpr int kWriteEeprom = 32777;
inline constexpr int kWriteRam = 32778;
inline constexpr int kReset = 32779;
inline constexpr int kUpgrade = 32780;
inline constexpr int kWriteErrorLog = 32781;
inline constexpr int kContents = 32782;
inline constexpr int kSaveProfile = 32783;
inline constexpr int kLoadProfile = 32784;
inline constexpr int kServiceHistory = 32785;
inline constexpr int kServiceReport = 32786;
inline constexpr int kReportNames = 32787;
inline constexpr int kAbout = 57664;
inline constexpr int kExit = 57665;

} // namespace kestrum::command
