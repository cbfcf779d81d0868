#include "ui/close_on_signal.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalSocket[2] = {-1, -1};
// Raised by a signal, served (cleared) once the main window has been closed
// for it. User-interface thread only.
bool terminationRequested = false;
QPointer<QWidget> mainWindow;

extern "C" void OnTerminationSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe calls here; a full socket means a close is pending.
    [[maybe_unused]] const ssize_t written = ::write(signalSocket[1], &byte, 1);
}

// Queued: a box whose loop is ending must unwind first. Boxes the close
// itself might raise are still dismissed; after it the request is served.
void CloseForTermination(QWidget& window)
{
    QMetaObject::invokeMethod(
        &window,
        [target = QPointer<QWidget>(&window)] {
            if (target) {
                target->close();
            }
            terminationRequested = false;
        },
        Qt::QueuedConnection);
}

// A box in its own event loop ends with "rejected"; a modeless window (the
// progress of a long run) is asked to cancel, and its run ends at its next step.
void EndOpenDialogs()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog == nullptr || !dialog->isVisible()) {
            continue;
        }
        if (dialog->isModal()) {
            dialog->done(QDialog::Rejected);
        } else {
            dialog->reject();
        }
    }
}

void OnSignalSocket()
{
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(signalSocket[0], &byte, 1);
    terminationRequested = true;
    EndOpenDialogs();
    if (mainWindow) {
        CloseForTermination(*mainWindow);
    }
}

} // namespace

void InstallTerminationSignals()
{
    if (signalSocket[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSocket) != 0) {
            return; // the signals keep their default action
        }
        auto* notifier = new QSocketNotifier(signalSocket[0], QSocketNotifier::Read, qApp);
        QObject::connect(notifier, &QSocketNotifier::activated, qApp, &OnSignalSocket);
    }

    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

void CloseOnTerminationSignals(QWidget& window)
{
    InstallTerminationSignals();
    mainWindow = &window;
    if (terminationRequested) {
        CloseForTermination(window);
    }
}

bool TerminationRequested()
{
    return terminationRequested;
}

#else

void InstallTerminationSignals() {}
void CloseOnTerminationSignals(QWidget&) {}
bool TerminationRequested()
{
    return false;
}

#endif
