#include "app/close_on_signal.h"
#include "app/main_frame.h"
#include "app/monitor_app.h"

int main(int argc, char** argv)
{
    CMonitorApp app(argc, argv);
    InstallTerminationSignals();
    if (!app.InitInstance()) {
        return 1;
    }
    CloseOnTerminationSignals(*app.MainFrame());
    return app.exec();
}
