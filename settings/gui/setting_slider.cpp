#include "settings/gui/setting_slider.h"

#include <QMouseEvent>
#include <QSignalBlocker>

CSettingSlider::CSettingSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    setTickPosition(QSlider::NoTicks);
}

void CSettingSlider::EndInteraction()
{
    const QSignalBlocker quiet(this);
    setRepeatAction(QAbstractSlider::SliderNoAction);
    setSliderDown(false);
    letGo_ = true;
}

void CSettingSlider::mousePressEvent(QMouseEvent* event)
{
    letGo_ = false;
    QSlider::mousePressEvent(event);
}

void CSettingSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (letGo_) {
        event->ignore();
        return;
    }
    QSlider::mouseMoveEvent(event);
}

void CSettingSlider::mouseReleaseEvent(QMouseEvent* event)
{
    // The slider is no longer down, so the release ends the gesture without
    // another release notification.
    letGo_ = false;
    QSlider::mouseReleaseEvent(event);
}
