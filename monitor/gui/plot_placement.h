#pragma once

#include <QRect>
#include <QSettings>

class QWidget;

// Where the plot window was, how big, and which time window it showed, kept
// in the settings store's section "Plot": "Left", "Top" (the frame's corner),
// "Width", "Height" (the window's inside) and "Window" (minutes, 0 for all).
namespace kestrum::plot_placement {

// The stored minutes, or `fallback` when missing or unreadable.
int LoadSpanMinutes(QSettings& store, int fallback);
// Sizes `window` as stored (900 x 700 at first) and puts it where it was,
// if that is still on a screen, or else in the middle of the primary screen;
// either way shrunk and moved as needed to lie wholly within that screen's
// available area, so that its controls at the bottom can be reached.
void Restore(QSettings& store, QWidget& window);
// Again once shown, when the charts have settled on the least room they need.
void KeepOnScreen(QWidget& window);
void Save(QSettings& store, const QWidget& window, int spanMinutes);

// `frame` moved, and shrunk where it is larger, to lie within `available`.
QRect FitInside(QRect frame, const QRect& available);

inline constexpr const char* kGroup = "Plot";

} // namespace kestrum::plot_placement
