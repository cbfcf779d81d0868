#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

// Every message box of the application goes through here: caption
// "Quorvel Kestrum"; a box asked for without an icon gets the warning icon
// for OK and OK/Cancel, the question icon for Yes/No.
namespace kestrum {

// Returns the QMessageBox::StandardButton that closed the box. `defaultButton`
// is what Enter presses (the framework's choice when NoButton): a box that
// asks before a risky write defaults to its safe answer.
int ShowMessageBox(const QString& text, QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                   QMessageBox::Icon icon = QMessageBox::NoIcon, QWidget* parent = nullptr,
                   QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// "Motor controller is not responding", the one box of every command whose
// controller stopped answering.
void ShowNotResponding(QWidget* parent);

// What a box would have shown, for tests that intercept it.
struct MessageBoxRequest
{
    QString caption;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon; // after the default-icon rule
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// While set, boxes are not shown: the handler answers them instead.
using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

} // namespace kestrum
