#include "app/close_on_signal.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX

#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalSocket[2] = {-1, -1};

extern "C" void OnTerminationSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe calls here; a full socket means a close is pending.
    [[maybe_unused]] const ssize_t written = ::write(signalSocket[1], &byte, 1);
}

} // namespace

void InstallTerminationSignals()
{
    if (signalSocket[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSocket) != 0) {
        return; // the signals keep their default action
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
    if (signalSocket[0] < 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(signalSocket[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalSocket[0], &byte, 1);
        window.close();
    });
}

#else

void InstallTerminationSignals() {}
void CloseOnTerminationSignals(QWidget&) {}

#endif
