#include "ui/message_box.h"

#include "link/controller.h"
#include "ui/close_on_signal.h"

#include <QApplication>
#include <QCursor>
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

// The answer of a box dismissed without a choice (Esc, its close button).
int DismissedAnswer(QMessageBox::StandardButtons buttons)
{
    for (QMessageBox::StandardButton button : {QMessageBox::Cancel, QMessageBox::No}) {
        if (buttons & button) {
            return button;
        }
    }
    return QMessageBox::Ok;
}

} // namespace

int ShowMessageBox(const QString& text, QMessageBox::StandardButtons buttons,
                   QMessageBox::Icon icon, QWidget* parent,
                   QMessageBox::StandardButton defaultButton)
{
    const MessageBoxRequest request{QStringLiteral("Quorvel Kestrum"), text, buttons,
                                    DefaultIcon(buttons, icon), defaultButton};
    if (Handler()) {
        return Handler()(request);
    }
    // The program is being ended: nobody is there to answer.
    if (TerminationRequested()) {
        return DismissedAnswer(buttons);
    }
    QMessageBox box(request.icon, request.caption, request.text, request.buttons, parent);
    if (defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(defaultButton);
    }
    // A box waits for the user: it shows the normal pointer even in the
    // middle of a command that holds the wait cursor (a failed search, a
    // silent controller), and the wait cursor is back once it is answered.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) {
        QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    }
    const int answer = box.exec();
    if (busy) {
        QApplication::restoreOverrideCursor();
    }
    return answer;
}

void SetMessageBoxHandler(MessageBoxHandler handler)
{
    Handler() = std::move(handler);
}

void ShowNotResponding(QWidget* parent)
{
    ShowMessageBox(QString::fromUtf8(NotRespondingText()), QMessageBox::Ok, QMessageBox::Warning,
                   parent);
}

} // namespace kestrum
