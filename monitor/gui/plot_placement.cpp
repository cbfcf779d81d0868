#include "monitor/gui/plot_placement.h"

#include "app/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace kestrum::plot_placement {

int LoadSpanMinutes(QSettings& store, int fallback)
{
    bool ok = false;
    const int minutes = store.value(QStringLiteral("Window")).toInt(&ok);
    return ok ? minutes : fallback;
}

void Restore(QSettings& store, QWidget& window)
{
    const int width = store.value(QStringLiteral("Width"), 900).toInt();
    const int height = store.value(QStringLiteral("Height"), 700).toInt();
    window.resize(
        QSize(width, height).expandedTo(window.minimumSizeHint()).boundedTo(QSize(8192, 8192)));
    if (!store.contains(QStringLiteral("Left")))
        return;
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    const QScreen* primary = QGuiApplication::primaryScreen();
    const int titleHeight = window.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const QSize frame = window.size() + QSize(0, titleHeight);
    window.move(PlaceOnScreens(store.value(QStringLiteral("Left")).toInt(),
                               store.value(QStringLiteral("Top")).toInt(), frame, titleHeight,
                               screens,
                               primary ? primary->availableGeometry() : QRect(QPoint(), frame)));
}

void Save(QSettings& store, const QWidget& window, int spanMinutes)
{
    // A minimised window's place and size mean nothing to the next opening.
    if (!window.isMinimized()) {
        store.setValue(QStringLiteral("Left"), window.pos().x());
        store.setValue(QStringLiteral("Top"), window.pos().y());
        store.setValue(QStringLiteral("Width"), window.width());
        store.setValue(QStringLiteral("Height"), window.height());
    }
    store.setValue(QStringLiteral("Window"), spanMinutes);
    store.sync();
}

} // namespace kestrum::plot_placement
