#include "monitor/gui/plot_placement.h"

#include "ui/window_placement.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace kestrum::plot_placement {

int LoadSpanMinutes(QSettings& store, int fallback)
{
    bool ok = false;
    const int minutes = store.value(QStringLiteral("Window")).toInt(&ok);
    return ok ? minutes : fallback;
}

void Restore(QSettings& store, QWidget& window)
{
    // Polished and laid out, so that the smallest size it can have is known.
    window.ensurePolished();
    if (window.layout())
        window.layout()->activate();
    const int width = store.value(QStringLiteral("Width"), 900).toInt();
    const int height = store.value(QStringLiteral("Height"), 700).toInt();
    window.resize(
        QSize(width, height).expandedTo(window.minimumSizeHint()).boundedTo(QSize(8192, 8192)));
    // A first opening goes to the middle of the screen its owner is on.
    const QScreen* home =
        window.parentWidget() ? window.parentWidget()->screen() : QGuiApplication::primaryScreen();
    const QRect homeArea = home ? home->availableGeometry() : QRect(0, 0, 800, 600);
    const int titleHeight = window.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const QSize frame = window.size() + QSize(0, titleHeight);
    QRect area = homeArea;
    QPoint corner = homeArea.center() - QPoint(frame.width() / 2, frame.height() / 2);
    if (store.contains(QStringLiteral("Left"))) {
        QList<QRect> screens;
        for (const QScreen* screen : QGuiApplication::screens())
            screens.append(screen->availableGeometry());
        corner = PlaceOnScreens(store.value(QStringLiteral("Left")).toInt(),
                                store.value(QStringLiteral("Top")).toInt(), frame, titleHeight,
                                screens, homeArea);
        // The screen that holds the title bar, whose area the rest must fit.
        for (const QRect& screen : screens) {
            if (screen.contains(corner))
                area = screen;
        }
    }
    const QRect fitted = FitInside(QRect(corner, frame), area);
    window.resize(fitted.width(), fitted.height() - titleHeight);
    window.move(fitted.topLeft());
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

void KeepOnScreen(QWidget& window)
{
    const QScreen* screen = window.screen();
    if (!screen)
        return;
    const int titleHeight = window.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const QRect frame(window.pos(), window.size() + QSize(0, titleHeight));
    const QRect fitted = FitInside(frame, screen->availableGeometry());
    if (fitted == frame)
        return;
    window.resize(fitted.width(), fitted.height() - titleHeight);
    window.move(fitted.topLeft());
}

QRect FitInside(QRect frame, const QRect& available)
{
    frame.setSize(frame.size().boundedTo(available.size()));
    const int left =
        std::clamp(frame.left(), available.left(), available.right() - frame.width() + 1);
    const int top =
        std::clamp(frame.top(), available.top(), available.bottom() - frame.height() + 1);
    frame.moveTopLeft(QPoint(left, top));
    return frame;
}

} // namespace kestrum::plot_placement
