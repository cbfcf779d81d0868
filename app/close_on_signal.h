#pragma once

class QWidget;

// SIGTERM, SIGINT and SIGHUP (a logout, a service manager, Ctrl+C in the
// terminal) close `window` the normal way, so its settings are saved as on
// any other close. The signal handler only writes to a pipe; the close runs
// on the user-interface thread. Does nothing where there are no such signals.
void CloseOnTerminationSignals(QWidget& window);
