#include "app/main_frame.h"

#include "app/command_ids.h"
#include "app/connection_watch.h"
#include "app/monitor_app.h"
#include "app/prop_sheet.h"
#include "app/settings_store.h"
#include "link/gui/program_dlg.h"
#include "monitor/gui/monitor_page.h"
#include "profiles/gui/profile_commands.h"
#include "profiles/gui/report_command.h"
#include "settings/gui/control_page.h"
#include "throttle/gui/throttle_page.h"
#include "tools/gui/error_log_command.h"
#include "tools/gui/memory_dlg.h"
#include "tools/gui/upgrade_command.h"
#include "ui/message_box.h"
#include "ui/mnemonic_router.h"
#include "ui/property_page.h"
#include "ui/status_line.h"
#include "ui/wait_cursor.h"
#include "ui/window_placement.h"

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
      app_(application)
{
    setWindowTitle(QStringLiteral("Quorvel Kestrum"));
    controller_.SetNotifier([this](const std::string& message) {
        kestrum::ShowMessageBox(QString::fromStdString(message), QMessageBox::Ok,
                                QMessageBox::NoIcon, this);
    });
    BuildMenu();

    QSettings store;
    store.beginGroup(QString::fromLatin1(kestrum::kSettingsGroup));
    kestrum::LoadTimings(store, controller_.Timings());

    // Before the sheet: its first page reports what it found on it.
    statusLine_ = new CStatusLine(controller_, this);
    setStatusBar(statusLine_);

    // Starting the sheet activates the Control Panel page, which reads the
    // controller (and searches for it) right here.
    BuildSheet();

    chromeHeight_ = style()->pixelMetric(QStyle::PM_TitleBarHeight) +
                    menuBar()->sizeHint().height() +
                    style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const kestrum::WindowPlacement placement = kestrum::LoadPlacement(store, chromeHeight_);
    // A stored page out of range leaves the first page selected. Selecting
    // another page runs its first read, so without a controller the search
    // (and its message) happens a second time.
    if (placement.view >= 0 && placement.view < CPropSheet::kPageCount) {
        sheet_->setCurrentIndex(placement.view);
    }

    // Fixed size, exactly around the menu, the sheet and the status line: no resizing, and
    // no maximise button (see the window flags above).
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    PlaceWindow(placement.left, std::int64_t{placement.top} - chromeHeight_);

    kestrum::TrimMainMenu(menu_);
    new CMnemonicRouter(*this, *sheet_, *menuBar());

    // A Windows session that ends (log off, shut down) asks the program to
    // commit its data and then ends it without closing the window: the
    // settings are saved here, as a close saves them.
    connect(&app_, &QGuiApplication::commitDataRequest, this, [this] { SaveSettings(); });
}

CMainFrame::~CMainFrame()
{
    // The pages go first, while the link they use still exists: a page may
    // still have work running on it (the Monitor's polling).
    delete sheet_;
}

void CMainFrame::BuildSheet()
{
    sheet_ = new CPropSheet(this);
    setCentralWidget(sheet_);
    // Before the pages: it guards their writes, and the first page
    // identifies the controller to it.
    connection_ = new CConnectionWatch(controller_, *sheet_, *statusLine_, this);
    auto* control = new CControlPage(controller_, *connection_);
    auto* throttle = new CThrottlePage(controller_, *connection_);
    auto* monitor = new CMonitorPage(controller_);
    monitor->serialNumber = [control] {
        return QString::fromStdString(control->Panel().SerialNumberLabel());
    };
    profiles_ = new CProfileCommands(controller_, *control, *throttle, *this);
    connect(profiles_, &CProfileCommands::ResultReady, statusLine_, &CStatusLine::ShowResult);
    for (CPropertyPage* page :
         {static_cast<CPropertyPage*>(control), static_cast<CPropertyPage*>(throttle),
          static_cast<CPropertyPage*>(monitor)}) {
        connect(page, &CPropertyPage::ResultReady, statusLine_, &CStatusLine::ShowResult);
        connect(page, &CPropertyPage::IdentityRead, statusLine_, &CStatusLine::SetIdentity);
        connect(page, &CPropertyPage::ControllerIdentified, connection_,
                [this, page](const kestrum::ControllerKey& key) {
                    connection_->ControllerRead(key, *page);
                });
        // Direct: the history is kept before the page's first write.
        connect(
            page, &CPropertyPage::AboutToWrite, this,
            [this](const QString& what) { KeepServiceHistory(what.toStdString()); },
            Qt::DirectConnection);
    }
    auto* report =
        new CReportCommand(controller_, *control, *throttle, *monitor, *profiles_, *this);
    connect(report, &CReportCommand::ResultReady, statusLine_, &CStatusLine::ShowResult);
    connect(Command(kestrum::command::kServiceReport), &QAction::triggered, report,
            &CReportCommand::OnServiceReport);
    connect(Command(kestrum::command::kReportNames), &QAction::triggered, report,
            &CReportCommand::OnReportNames);
    sheet_->AddPage(control, QStringLiteral("Control Panel"));
    sheet_->AddPage(throttle, QStringLiteral("Throttle Response"));
    sheet_->AddPage(monitor, QStringLiteral("Monitor"));
    sheet_->Start();
}

QAction* CMainFrame::Command(int id) const
{
    return kestrum::FindCommand(*this, id);
}

void CMainFrame::BuildMenu()
{
    using namespace kestrum::command;
    menu_ = kestrum::BuildMainMenu(*menuBar(), *this);
    for (QMenu* popup : {menu_.settings, menu_.tools, menu_.help}) {
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
            [this] { profiles_->OnSaveProfile(); });
    connect(Command(kLoadProfile), &QAction::triggered, this,
            [this] { profiles_->OnLoadProfile(); });
    connect(Command(kServiceHistory), &QAction::triggered, this,
            [this] { profiles_->OnServiceHistory(); });
    // "&Contents" (kContents) has no help behind it: it stays unconnected.
    connect(Command(kAbout), &QAction::triggered, &app_, [this] { app_.OnAppAbout(this); });
}

void CMainFrame::PlaceWindow(std::int64_t left, std::int64_t top)
{
    adjustSize();
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens.append(screen->availableGeometry());
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    const int titleHeight = chromeHeight_ - menuBar()->height();
    const QSize frameSize = size() + QSize(0, titleHeight);
    const QRect fallback(QPoint(0, 0), frameSize);
    savedPos_ = kestrum::PlaceOnScreens(left, top, frameSize, titleHeight, screens,
                                        primary ? primary->availableGeometry() : fallback);
    move(savedPos_);
}

void CMainFrame::UpdateMenuState()
{
    const bool open = controller_.IsPortOpen();
    for (int id : kPortCommands) {
        Command(id)->setEnabled(open);
    }
}

void CMainFrame::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    // A minimised window's position means nothing to the next run.
    if (chromeHeight_ != 0 && !isMinimized()) {
        savedPos_ = pos();
    }
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    for (int i = 0; i < CPropSheet::kPageCount; ++i) {
        if (CPropertyPage* page = sheet_->Page(i)) {
            page->OnWindowClosing();
        }
    }
    SaveSettings();
    event->accept();
}

void CMainFrame::SaveSettings()
{
    if (!isMinimized()) {
        savedPos_ = pos();
    }
    QSettings store;
    store.beginGroup(QString::fromLatin1(kestrum::kSettingsGroup));
    kestrum::SaveTimings(store, controller_.Timings());
    kestrum::SavePlacement(store,
                           {sheet_->currentIndex(), savedPos_.x(), savedPos_.y() + chromeHeight_});
    store.sync();
}

void CMainFrame::OnTimings()
{
    CProgramDlg dialog(controller_.Timings(), this);
    dialog.exec();
}

void CMainFrame::OnReset()
{
    CWaitCursor wait;
    try {
        // A controller that does not come back shows up at the next read;
        // the status line says only what was done.
        if (controller_.ResetController()) {
            StatusLine().ShowResult(QStringLiteral("Reset sent"));
        }
    } catch (const kestrum::CControllerException&) {
        kestrum::ShowNotResponding(this);
    }
}

void CMainFrame::OnMemoryViewer(kestrum::MemoryOperation operation)
{
    // The menu enables these commands only when it opens; a command that
    // reaches here another way must not open the viewer on a closed port.
    if (!controller_.IsPortOpen()) {
        return;
    }
    CMemoryDlg dialog(controller_, operation, this);
    dialog.exec();
}

void CMainFrame::OnUpgrade()
{
    const QString done =
        kestrum::RunUpgradeCommand(controller_, this, [this] { KeepServiceHistory("Upgrade"); });
    if (!done.isEmpty()) {
        StatusLine().ShowResult(done);
    }
}

void CMainFrame::KeepServiceHistory(const std::string& keptBefore)
{
    profiles_->KeepHistory(keptBefore);
}

void CMainFrame::OnWriteErrorLog()
{
    kestrum::RunErrorLogCommand(controller_, this);
}
