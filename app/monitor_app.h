#pragma once

#include <QApplication>
#include <memory>

class CMainFrame;
class QWidget;

// The application object: the settings store's identity ("Quorvel" /
// "Quorvel Kestrum", native format, so on Windows the registry) and the main
// window.
class CMonitorApp : public QApplication
{
    Q_OBJECT

public:
    CMonitorApp(int& argc, char** argv);
    ~CMonitorApp() override;

    // Creates the main window (which finds the controller before it is
    // shown) and shows it. The command line is not looked at.
    bool InitInstance();
    CMainFrame* MainFrame() const { return mainFrame_.get(); }

    // "&About Kestrum": the About box, modal over `parent`.
    void OnAppAbout(QWidget* parent);

    static constexpr const char* kOrganization = "Quorvel";
    static constexpr const char* kApplicationName = "Quorvel Kestrum";

private:
    std::unique_ptr<CMainFrame> mainFrame_;
};
