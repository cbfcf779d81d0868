#include "app/monitor_app.h"

#include "app/about_dlg.h"
#include "app/main_frame.h"

#include <QIcon>
#include <QSettings>

// The resources live in a static library, so they are registered explicitly
// (outside any namespace, as the macro requires).
static void InitResources()
{
    Q_INIT_RESOURCE(kestrum);
}

CMonitorApp::CMonitorApp(int& argc, char** argv) : QApplication(argc, argv)
{
    InitResources();
    setOrganizationName(QString::fromLatin1(kOrganization));
    setApplicationName(QString::fromLatin1(kApplicationName));
    QSettings::setDefaultFormat(QSettings::NativeFormat);
    // The program's icon (resources/icons), one drawing per size the desktop
    // asks for, so that no size is scaled from another.
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/kestrum-%1.png").arg(size), QSize(size, size));
    }
    setWindowIcon(icon);
}

CMonitorApp::~CMonitorApp() = default;

bool CMonitorApp::InitInstance()
{
    // Message boxes of the start-up search appear before the main window
    // exists on screen; closing one must not count as closing the last window.
    const bool quitOnLastClose = quitOnLastWindowClosed();
    setQuitOnLastWindowClosed(false);
    mainFrame_ = std::make_unique<CMainFrame>(*this);
    mainFrame_->showNormal();
    setQuitOnLastWindowClosed(quitOnLastClose);
    return true;
}

void CMonitorApp::OnAppAbout(QWidget* parent)
{
    CAboutDlg dialog(parent);
    dialog.exec();
}
