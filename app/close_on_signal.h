#pragma once

class QWidget;

// SIGTERM, SIGINT and SIGHUP (a logout, a service manager, Ctrl+C in the
// terminal) close the main window the normal way, so its settings are saved
// as on any other close. The signal handler only writes to a socket; the
// close runs on the user-interface thread. Does nothing where there are no
// such signals.
//
// InstallTerminationSignals() takes the signals over; call it before the
// main window is built, so that a signal during the start-up search is not
// lost (nor fatal): it is kept and acted on once CloseOnTerminationSignals()
// has named the window and the event loop runs.
void InstallTerminationSignals();
void CloseOnTerminationSignals(QWidget& window);
