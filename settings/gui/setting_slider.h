#pragma once

#include <QSlider>

class QMouseEvent;

// A horizontal slider of the Control Panel (no tick marks) that can let go of
// the mouse: a message box shown in the middle of a drag or of a held page
// step must not leave the slider dragging or stepping on behind it, nor
// bring the same message up again when the mouse moves on.
class CSettingSlider : public QSlider
{
public:
    explicit CSettingSlider(QWidget* parent = nullptr);

    // Ends a drag or an auto-repeating step without any signal; the rest of
    // that mouse gesture, up to the button's release, is ignored. The caller
    // is about to put the slider where it belongs.
    void EndInteraction();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool letGo_ = false;
};
