#pragma once

#include <QObject>

class QAction;
class QKeyEvent;
class QMainWindow;
class QMenuBar;
class QTabWidget;
class QWidget;

// Keyboard arbitration between the menu bar and the active page.
//
// A page control and a menu title may share a mnemonic ("&Set" and
// "&Settings"). Qt sees two shortcuts for Alt+S and fires neither, so this
// filter decides instead: while the focus is inside the active page (or on
// the sheet's tab bar, which belongs to the page it shows) and a
// visible, enabled control there has the mnemonic, the control gets it (a
// button is clicked, a label's buddy takes the focus); when the focus is
// elsewhere in the window, the menu bar gets it. Alt+letters without a clash
// are left to Qt. Where two page controls share the letter, the key moves
// the focus from one to the next and Space presses the focused one. F10
// opens the menu bar, as Alt alone does.
//
// Installed on the application for as long as the router (a child of the
// main window) lives.
class CMnemonicRouter : public QObject
{
    Q_OBJECT

public:
    CMnemonicRouter(QMainWindow& window, QTabWidget& sheet, QMenuBar& menuBar);
    ~CMnemonicRouter() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What an Alt+letter should do: activate a page control, move the focus
    // to one of the page controls that share the letter, open a menu, or
    // nothing (leave the key to Qt).
    struct Target
    {
        QWidget* control = nullptr;
        QWidget* focus = nullptr;
        QAction* menu = nullptr;
    };
    Target Resolve(const QKeyEvent& key) const;
    bool IsOurFocusEvent(QObject* watched) const;

    QMainWindow& window_;
    QTabWidget& sheet_;
    QMenuBar& menuBar_;
};
