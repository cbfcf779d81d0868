#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>

namespace kestrum {

// Where a window of frame size `size`, stored with its frame's top-left
// corner at (left, top), is put: there, when its title bar (the top
// `titleHeight` rows of the frame) lies wholly within the height of one of
// `screens` and overlaps it sideways, so that it can be grabbed; otherwise
// (the monitor it was on is gone, or the stored values are wild) at the
// top-left corner of `primary`. The stored values are any 32-bit numbers and
// arrive here already shifted, so everything is computed in 64 bits.
QPoint PlaceOnScreens(std::int64_t left, std::int64_t top, QSize size, int titleHeight,
                      const QList<QRect>& screens, const QRect& primary);

} // namespace kestrum
