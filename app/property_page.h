#pragma once

#include <QWidget>

namespace kestrum {
class CController;
}
class CMainFrame;

// Base of the three pages of the main window's sheet. A page reaches the
// controller link through the main window that owns it.
//
// Activation rule: a page reads the controller by itself the first time it
// becomes the active page, and never again by activation; later reads happen
// only on the page's own "&Refresh" (or its polling). The sheet calls
// OnSetActive() whenever a page becomes the active one, including the first
// page while the sheet is being built, before the main window is shown.
class CPropertyPage : public QWidget
{
    Q_OBJECT

public:
    explicit CPropertyPage(CMainFrame& frame, QWidget* parent = nullptr);
    ~CPropertyPage() override;

    kestrum::CController& Controller();
    CMainFrame& MainFrame();

    // Reads the controller and fills the page. Each page's read begins with
    // LocateController, under the wait cursor, and catches
    // CControllerException itself ("Motor controller is not responding").
    virtual void OnRefresh() = 0;

    // Called by the main window as it closes, before it saves its settings:
    // a page ends here whatever it still runs on the link.
    virtual void OnWindowClosing() {}

    // Called by the sheet each time this page becomes the active page.
    void OnSetActive();
    // True once the first activation has run the page's refresh.
    bool WasActivated() const { return activated_; }

    // Whether the values on show are those of the controller connected now.
    // While they are not (the port was lost), the page greys them and
    // disables "&Set"; "&Refresh" stays, to read again by hand.
    bool ShowsConnected() const { return showsConnected_; }
    void SetShowsConnected(bool connected);
    // Another controller is connected: nothing on the page is its, so the
    // page stays greyed and reads it when next shown, as on its first show.
    void ForgetController();
    // Another controller is connected and this page is on show: it reads it
    // now, as on its first show.
    void ReadAgain();

protected:
    // The page mirrors ShowsConnected() into its controls.
    virtual void OnShownStateChanged() {}

private:
    CMainFrame& frame_;
    bool activated_ = false;
    bool showsConnected_ = true;
};
