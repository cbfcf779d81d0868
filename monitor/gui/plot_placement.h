#pragma once

#include <QSettings>

class QWidget;

// Where the plot window was, how big, and which time window it showed, kept
// in the settings store's section "Plot": "Left", "Top" (the frame's corner),
// "Width", "Height" (the window's inside) and "Window" (minutes, 0 for all).
namespace kestrum::plot_placement {

// The stored minutes, or `fallback` when missing or unreadable.
int LoadSpanMinutes(QSettings& store, int fallback);
// Sizes `window` as stored (900 x 700 at first) and puts it where it was,
// if that is still on a screen; a first opening is left to the window
// manager.
void Restore(QSettings& store, QWidget& window);
void Save(QSettings& store, const QWidget& window, int spanMinutes);

inline constexpr const char* kGroup = "Plot";

} // namespace kestrum::plot_placement
