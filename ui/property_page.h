#pragma once

#include "settings/controller_check.h"

#include <QString>
#include <QWidget>

namespace kestrum {
class CController;
}
class CPropertyPage;

// Asked by a page before its first write whether the controller answering
// is still the one whose values the page shows. False when nothing may be
// written; whoever answers has told the user why.
class CWriteGuard
{
public:
    virtual bool CheckBeforeWrite(CPropertyPage& page) = 0;

protected:
    ~CWriteGuard() = default;
};

// Base of the three pages of the main window's sheet. A page is given the
// controller link it works on and tells the window what it did through its
// signals; it knows nothing of the window that shows it.
//
// Activation rule: a page reads the controller by itself the first time it
// becomes the active page, and never again by activation; later reads happen
// only on the page's own "&Refresh" (or its polling). The sheet calls
// OnSetActive() whenever a page becomes the active one.
class CPropertyPage : public QWidget
{
    Q_OBJECT

public:
    explicit CPropertyPage(kestrum::CController& controller, QWidget* parent = nullptr);
    ~CPropertyPage() override;

    kestrum::CController& Controller() { return controller_; }

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

signals:
    // What a write did ("4 settings written and verified"), for the status
    // line.
    void ResultReady(const QString& result);
    // "Model ..., serial ..." once the controller was identified; empty when
    // no controller was found.
    void IdentityRead(const QString& identity);
    // Emitted just before the page changes the controller's setup, `what`
    // naming the change ("Set"); connected directly, so whatever it starts
    // (the service history) is done before the first write.
    void AboutToWrite(const QString& what);
    // The page has read who the controller is (model code and serial
    // number) together with its values.
    void ControllerIdentified(const kestrum::ControllerKey& key);

protected:
    // The page mirrors ShowsConnected() into its controls.
    virtual void OnShownStateChanged() {}

private:
    kestrum::CController& controller_;
    bool activated_ = false;
    bool showsConnected_ = true;
};
