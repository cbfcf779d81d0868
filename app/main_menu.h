#pragma once

class QAction;
class QMenu;
class QMenuBar;
class QObject;
class QWidget;

// The main window's menu bar: "&Settings", "&Tools" and "&Help" built with
// every command the tool has ever had (so each keeps its id and position),
// then trimmed to what the user may choose.
namespace kestrum {

struct MainMenu
{
    QMenu* settings = nullptr;
    QMenu* tools = nullptr;
    QMenu* help = nullptr;
};

// Fills `bar` with every command. The actions are children of `owner`,
// so they stay wired (and findable by id) after Trim removes them from view.
MainMenu BuildMainMenu(QMenuBar& bar, QObject& owner);

// Removes, by position, items 9, 7, 6, 5, 4, 3, 2, 1 and 0 of the Tools
// popup and items 1 and 0 of the Help popup, leaving Tools with "Re&set",
// "&Upgrade...", a separator and "Write Error &Log...", and Help with
// "&About Kestrum".
void TrimMainMenu(const MainMenu& menu);

// The action of command `id` among the children of `owner`, or nullptr.
QAction* FindCommand(const QObject& owner, int id);

} // namespace kestrum
