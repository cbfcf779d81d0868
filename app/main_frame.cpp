#include "app/main_frame.h"

#include "app/command_ids.h"
#include "app/message_box.h"
#include "app/mnemonic_router.h"
#include "app/monitor_app.h"
#include "app/prop_sheet.h"
#include "app/property_page.h"
#include "app/settings_store.h"
#include "app/status_line.h"
#include "app/wait_cursor.h"
#include "app/window_placement.h"
#include "link/gui/connection_watch.h"
#include "link/gui/program_dlg.h"
#include "profiles/gui/profile_commands.h"
#include "tools/gui/error_log_command.h"
#include "tools/gui/memory_dlg.h"
#include "tools/gui/upgrade_command.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSessionManager>
#include <QShortcut>
#include <QStyle>

namespace {

// The memory viewer's operation for each of its six commands.
struct MemoryCommand
{
    int id;
    kestrum::MemoryOperation operation;
};
constexpr MemoryCommand kMemoryCommands[] = {
    {kestrum::command::kReadFlash, kestrum::MemoryOperation::ReadFlash},
    {kestrum::command::kReadEeprom, kestrum::MemoryOperation::ReadEeprom},
    {kestrum::command::kReadRam, kestrum::MemoryOperation::ReadRam},
    {kestrum::command::kWriteFlash, kestrum::MemoryOperation::WriteFlash},
    {kestrum::command::kWriteEeprom, kestrum::MemoryOperation::WriteEeprom},
    {kestrum::command::kWriteRam, kestrum::MemoryOperation::WriteRam},
};

// Commands that need an open port; every other command is always enabled.
constexpr int kPortCommands[] = {
    kestrum::command::kReadFlash,  kestrum::command::kReadEeprom,  kestrum::command::kReadRam,
    kestrum::command::kWriteFlash, kestrum::command::kWriteEeprom, kestrum::command::kWriteRam,
    kestrum::command::kUpgrade,
};

} // namespace

CMainFrame::CMainFrame(CMonitorApp& application)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint),
      app(application)
{
    setWindowTitle(QStringLiteral("Quorvel Kestrum"));
    controller.SetNotifier([this](const std::string& message) {
        kestrum::ShowMessageBox(QString::fromStdString(message), QMessageBox::Ok,
                                QMessageBox::NoIcon, this);
    });
    BuildMenu();

    QSettings store;
    store.beginGroup(QString::fromLatin1(kestrum::kSettingsGroup));
    kestrum::LoadTimings(store, controller.Timings());

    // Before the sheet: its first page reports what it found on it.
    statusLine = new CStatusLine(controller, this);
    profiles = new CProfileCommands(*this);
    setStatusBar(statusLine);
    // Before the sheet, whose first page identifies the controller.
    connection = new CConnectionWatch(*this);

    // Building the sheet activates the Control Panel page, which reads the
    // controller (and searches for it) right here.
    sheet = new CPropSheet(*this, this);
    setCentralWidget(sheet);

    chromeHeight = style()->pixelMetric(QStyle::PM_TitleBarHeight) +
                   menuBar()->sizeHint().height() +
                   style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const kestrum::WindowPlacement placement = kestrum::LoadPlacement(store, chromeHeight);
    // A stored page out of range leaves the first page selected. Selecting
    // another page runs its first read, so without a controller the search
    // (and its message) happens a second time.
    if (placement.view >= 0 && placement.view < CPropSheet::kPageCount) {
        sheet->setCurrentIndex(placement.view);
    }

    // Fixed size, exactly around the menu, the sheet and the status line: no resizing, and
    // no maximise button (see the window flags above).
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    PlaceWindow(placement.left, std::int64_t{placement.top} - chromeHeight);

    kestrum::TrimMainMenu(menu);
    new CMnemonicRouter(*this, *sheet, *menuBar());

    // A Windows session that ends (log off, shut down) asks the program to
    // commit its data and then ends it without closing the window: the
    // settings are saved here, as a close saves them.
    connect(&app, &QGuiApplication::commitDataRequest, this, [this] { SaveSettings(); });
}

CMainFrame::~CMainFrame()
{
    // The pages go first, while the link they use still exists: a page may
    // still have work running on it (the Monitor's polling).
    delete sheet;
}

QAction* CMainFrame::Command(int id) const
{
    return kestrum::FindCommand(*this, id);
}

void CMainFrame::BuildMenu()
{
    using namespace kestrum::command;
    menu = kestrum::BuildMainMenu(*menuBar(), *this);
    for (QMenu* popup : {menu.settings, menu.tools, menu.help}) {
        connect(popup, &QMenu::aboutToShow, this, &CMainFrame::UpdateMenuState);
    }
    connect(Command(kTimings), &QAction::triggered, this, &CMainFrame::OnTimings);
    connect(Command(kExit), &QAction::triggered, this, &QWidget::close);
    for (const MemoryCommand& memory : kMemoryCommands) {
        const kestrum::MemoryOperation operation = memory.operation;
        connect(Command(memory.id), &QAction::triggered, this,
                [this, operation] { OnMemoryViewer(operation); });
    }
    // The viewer's commands are trimmed from the menu; the service shortcut
    // is the way to them. It belongs to no menu, so nothing enables it: the
    // port is checked when it fires.
    auto* viewer = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M), this);
    connect(viewer, &QShortcut::activated, this,
            [this] { OnMemoryViewer(kestrum::MemoryOperation::ReadFlash); });
    connect(Command(kReset), &QAction::triggered, this, &CMainFrame::OnReset);
    connect(Command(kUpgrade), &QAction::triggered, this, &CMainFrame::OnUpgrade);
    connect(Command(kWriteErrorLog), &QAction::triggered, this, &CMainFrame::OnWriteErrorLog);
    connect(Command(kSaveProfile), &QAction::triggered, this,
            [this] { profiles->OnSaveProfile(); });
    connect(Command(kLoadProfile), &QAction::triggered, this,
            [this] { profiles->OnLoadProfile(); });
    connect(Command(kServiceHistory), &QAction::triggered, this,
            [this] { profiles->OnServiceHistory(); });
    // "&Contents" (kContents) has no help behind it: it stays unconnected.
    connect(Command(kAbout), &QAction::triggered, &app, [this] { app.OnAppAbout(this); });
}

void CMainFrame::PlaceWindow(std::int64_t left, std::int64_t top)
{
    adjustSize();
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens.append(screen->availableGeometry());
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    const int titleHeight = chromeHeight - menuBar()->height();
    const QSize frameSize = size() + QSize(0, titleHeight);
    const QRect fallback(QPoint(0, 0), frameSize);
    savedPos = kestrum::PlaceOnScreens(left, top, frameSize, titleHeight, screens,
                                       primary ? primary->availableGeometry() : fallback);
    move(savedPos);
}

void CMainFrame::UpdateMenuState()
{
    const bool open = controller.IsPortOpen();
    for (int id : kPortCommands) {
        Command(id)->setEnabled(open);
    }
}

void CMainFrame::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    // A minimised window's position means nothing to the next run.
    if (chromeHeight != 0 && !isMinimized()) {
        savedPos = pos();
    }
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    for (int i = 0; i < CPropSheet::kPageCount; ++i) {
        if (CPropertyPage* page = sheet->Page(i)) {
            page->OnWindowClosing();
        }
    }
    SaveSettings();
    event->accept();
}

void CMainFrame::SaveSettings()
{
    if (!isMinimized()) {
        savedPos = pos();
    }
    QSettings store;
    store.beginGroup(QString::fromLatin1(kestrum::kSettingsGroup));
    kestrum::SaveTimings(store, controller.Timings());
    kestrum::SavePlacement(store,
                           {sheet->currentIndex(), savedPos.x(), savedPos.y() + chromeHeight});
    store.sync();
}

void CMainFrame::OnTimings()
{
    CProgramDlg dialog(controller.Timings(), this);
    dialog.exec();
}

void CMainFrame::OnReset()
{
    CWaitCursor wait;
    try {
        // A controller that does not come back shows up at the next read;
        // the status line says only what was done.
        if (controller.ResetController()) {
            StatusLine().ShowResult(QStringLiteral("Reset sent"));
        }
    } catch (const kestrum::CControllerException&) {
        kestrum::ShowMessageBox(QStringLiteral("Motor controller is not responding"),
                                QMessageBox::Ok, QMessageBox::NoIcon, this);
    }
}

void CMainFrame::OnMemoryViewer(kestrum::MemoryOperation operation)
{
    // The menu enables these commands only when it opens; a command that
    // reaches here another way must not open the viewer on a closed port.
    if (!controller.IsPortOpen()) {
        return;
    }
    CMemoryDlg dialog(controller, operation, this);
    dialog.exec();
}

void CMainFrame::OnUpgrade()
{
    const QString done =
        kestrum::RunUpgradeCommand(controller, this, [this] { KeepServiceHistory("Upgrade"); });
    if (!done.isEmpty()) {
        StatusLine().ShowResult(done);
    }
}

void CMainFrame::KeepServiceHistory(const std::string& keptBefore)
{
    profiles->KeepHistory(keptBefore);
}

void CMainFrame::OnWriteErrorLog()
{
    kestrum::RunErrorLogCommand(controller, this);
}
