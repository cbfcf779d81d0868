#include "app/window_placement.h"

namespace kestrum {

QPoint PlaceOnScreens(const QRect& frame, const QList<QRect>& screens, const QRect& primary)
{
    for (const QRect& screen : screens) {
        if (screen.intersects(frame)) {
            return frame.topLeft();
        }
    }
    return primary.topLeft();
}

} // namespace kestrum
