#include "ui/window_placement.h"

namespace kestrum {

QPoint PlaceOnScreens(std::int64_t left, std::int64_t top, QSize size, int titleHeight,
                      const QList<QRect>& screens, const QRect& primary)
{
    const std::int64_t right = left + size.width();
    const std::int64_t titleBottom = top + titleHeight;
    for (const QRect& screen : screens) {
        const std::int64_t screenLeft = screen.x();
        const std::int64_t screenTop = screen.y();
        const std::int64_t screenRight = screenLeft + screen.width();
        const std::int64_t screenBottom = screenTop + screen.height();
        if (left < screenRight && right > screenLeft && top >= screenTop &&
            titleBottom <= screenBottom) {
            // On a screen, so both fit an int.
            return QPoint(static_cast<int>(left), static_cast<int>(top));
        }
    }
    return primary.topLeft();
}

} // namespace kestrum
