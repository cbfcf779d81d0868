#include "app/main_frame.h"
#include "app/monitor_app.h"
#include "ui/close_on_signal.h"

int main(int argc, char** argv)
{
    CMonitorApp app(argc, argv);
    // Before the main window is built: its first page searches for the
    // controller, and a shutdown during that search must not wait for it.
    InstallTerminationSignals();
    if (!app.InitInstance()) {
        return 1;
    }
    CloseOnTerminationSignals(*app.MainFrame());
    return app.exec();
}
