#include "settings/gui/control_page.h"

#include "app/wait_cursor.h"
#include "link/controller.h"

CControlPage::CControlPage(CMainFrame& frame, QWidget* parent) : CPropertyPage(frame, parent)
{
    // The size of the page's dialog, so the main window has its final size.
    setMinimumSize(420, 300);
}

void CControlPage::OnRefresh()
{
    CWaitCursor wait;
    // A failed search has already told the user; nothing more to read.
    Controller().LocateController();
}
