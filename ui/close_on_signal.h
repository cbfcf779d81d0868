#pragma once

class QWidget;

// SIGTERM, SIGINT and SIGHUP (a logout, a shutdown, a service manager,
// Ctrl+C in the terminal) end the program the normal way, so its settings are
// saved as on any other close. The signal handler only writes to a socket;
// the rest runs on the user-interface thread, in whichever event loop runs
// then, a message box's included.
//
// InstallTerminationSignals() takes the signals over; call it once the
// application object exists and before the main window is built, since the
// window's first page already searches for the controller. From then on a
// signal ends any open dialog box at once, and every later message box is
// answered as if dismissed without being shown, so the start-up runs to its
// end quickly; the caller then closes the main window (TerminationRequested).
// Once CloseOnTerminationSignals() has named the window, a signal closes it.
// Does nothing where there are no such signals.
void InstallTerminationSignals();
void CloseOnTerminationSignals(QWidget& window);
bool TerminationRequested();
