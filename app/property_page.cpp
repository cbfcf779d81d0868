#include "app/property_page.h"

#include "app/close_on_signal.h"
#include "app/main_frame.h"

CPropertyPage::CPropertyPage(CMainFrame& frame, QWidget* parent) : QWidget(parent), frame_(frame) {}

CPropertyPage::~CPropertyPage() = default;

kestrum::CController& CPropertyPage::Controller()
{
    return frame_.Controller();
}

CMainFrame& CPropertyPage::MainFrame()
{
    return frame_;
}

void CPropertyPage::OnSetActive()
{
    if (activated_) {
        return;
    }
    // Set before refreshing: a message box shown by the refresh runs events,
    // and a second activation meanwhile must not start a second read.
    activated_ = true;
    // A program being shut down starts no new controller work: each search
    // could hold the window for a retry delay per port.
    if (!TerminationRequested()) {
        OnRefresh();
        SetShowsConnected(true);
    }
}

void CPropertyPage::SetShowsConnected(bool connected)
{
    if (showsConnected_ == connected) {
        return;
    }
    showsConnected_ = connected;
    OnShownStateChanged();
}

void CPropertyPage::ForgetController()
{
    activated_ = false;
    SetShowsConnected(false);
}

void CPropertyPage::ReadAgain()
{
    activated_ = false;
    OnSetActive();
}
