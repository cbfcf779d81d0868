#pragma once

// Control ids of the plot: its button on the Monitor page and its window.
namespace kestrum::plot_ids {

inline constexpr int kPlotButton = 1200;
inline constexpr int kPause = 1201;
inline constexpr int kSpan = 1202;
inline constexpr int kOpenLog = 1203;
inline constexpr int kLive = 1204;
inline constexpr int kSavePng = 1205;
inline constexpr int kStatus = 1206;
inline constexpr int kCaption = 1207;

} // namespace kestrum::plot_ids
