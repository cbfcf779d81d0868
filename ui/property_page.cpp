#include "ui/property_page.h"

#include "ui/close_on_signal.h"

CPropertyPage::CPropertyPage(kestrum::CController& controller, QWidget* parent)
    : QWidget(parent), controller_(controller)
{}

CPropertyPage::~CPropertyPage() = default;

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
