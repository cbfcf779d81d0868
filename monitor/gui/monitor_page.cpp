#include "monitor/gui/monitor_page.h"

#include "app/wait_cursor.h"
#include "link/controller.h"

CMonitorPage::CMonitorPage(CMainFrame& frame, QWidget* parent) : CPropertyPage(frame, parent)
{
    // The size of the page's dialog, so the main window has its final size.
    setMinimumSize(420, 300);
}

void CMonitorPage::OnRefresh()
{
    CWaitCursor wait;
    // A failed search has already told the user; nothing more to read.
    Controller().LocateController();
}
