#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

namespace kestrum {

// Where a window whose frame would cover `frame` is put: there, as stored,
// when any part of it lies on one of `screens`; otherwise (the monitor it
// was on is gone, or the stored values are wild) at the top-left corner of
// `primary`, so that the window can never open invisible.
QPoint PlaceOnScreens(const QRect& frame, const QList<QRect>& screens, const QRect& primary);

} // namespace kestrum
