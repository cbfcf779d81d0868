#include "app/message_box.h"

#include <utility>

namespace kestrum {
namespace {

MessageBoxHandler& Handler()
{
    static MessageBoxHandler handler;
    return handler;
}

QMessageBox::Icon DefaultIcon(QMessageBox::StandardButtons buttons, QMessageBox::Icon icon)
{
    if (icon != QMessageBox::NoIcon) {
        return icon;
    }
    return buttons & (QMessageBox::Yes | QMessageBox::No) ? QMessageBox::Question
                                                          : QMessageBox::Warning;
}

} // namespace

int ShowMessageBox(const QString& text, QMessageBox::StandardButtons buttons,
                   QMessageBox::Icon icon, QWidget* parent)
{
    const MessageBoxRequest request{QStringLiteral("Quorvel Kestrum"), text, buttons,
                                    DefaultIcon(buttons, icon)};
    if (Handler()) {
        return Handler()(request);
    }
    QMessageBox box(request.icon, request.caption, request.text, request.buttons, parent);
    return box.exec();
}

void SetMessageBoxHandler(MessageBoxHandler handler)
{
    Handler() = std::move(handler);
}

} // namespace kestrum
