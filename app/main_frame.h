#pragma once

#include "app/main_menu.h"
#include "link/controller.h"

#include <QMainWindow>
#include <QPoint>
#include <cstdint>

class CConnectionWatch;
class CMonitorApp;
class CProfileCommands;
class CPropSheet;
class CStatusLine;
class QAction;

namespace kestrum {
enum class MemoryOperation : int;
}

// The main window and composition root: owns the one controller link,
// builds the pages, the status line and the commands and connects them,
// carries the menu bar ("&Settings", "&Tools", "&Help"), and keeps the
// timings, the selected page and its own position in the settings store
// between runs.
//
// Everything of start-up happens in the constructor, before the window is
// shown: the timings are loaded, the sheet is built (its first page reads the
// controller), the stored page is selected (its first read searches again
// when it is not the first page) and the window is placed.
class CMainFrame : public QMainWindow
{
    Q_OBJECT

public:
    explicit CMainFrame(CMonitorApp& app);
    ~CMainFrame() override;

    kestrum::CController& Controller() { return controller_; }
    CPropSheet& Sheet() { return *sheet_; }
    CStatusLine& StatusLine() { return *statusLine_; }
    // Caption + frame + menu height: "Top" in the store is the window's top
    // edge plus this, as the position of the sheet.
    int ChromeHeight() const { return chromeHeight_; }
    // The menu action of a command id, also for commands trimmed from view.
    QAction* Command(int id) const;
    // Keeps a profile of what the pages last read in the service history;
    // called before every command that changes the controller's setup.
    void KeepServiceHistory(const std::string& keptBefore);
    CProfileCommands& Profiles() { return *profiles_; }
    // Which controller the pages show, and the cable followed to the next.
    CConnectionWatch& Connection() { return *connection_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void BuildMenu();
    void BuildSheet();
    void PlaceWindow(std::int64_t left, std::int64_t top);
    void SaveSettings();
    void UpdateMenuState();

    void OnTimings();
    void OnReset();
    void OnMemoryViewer(kestrum::MemoryOperation operation);
    void OnUpgrade();
    void OnWriteErrorLog();

    CMonitorApp& app_;
    QPoint savedPos_;      // last known position of the window while not minimised
    int chromeHeight_ = 0; // 0 until the window is built
    kestrum::MainMenu menu_;
    kestrum::CController controller_;
    CPropSheet* sheet_ = nullptr;
    CStatusLine* statusLine_ = nullptr;
    CProfileCommands* profiles_ = nullptr;
    CConnectionWatch* connection_ = nullptr;
};
