#include "app/main_menu.h"

#include "app/command_ids.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QString>
#include <initializer_list>

namespace kestrum {
namespace {

struct Item
{
    int id; // 0: separator
    const char* text;
};

QMenu* AddPopup(QMenuBar& bar, QObject& owner, const char* title, std::initializer_list<Item> items)
{
    QMenu* popup = bar.addMenu(QString::fromUtf8(title));
    for (const Item& item : items) {
        if (item.id == 0) {
            popup->addSeparator();
            continue;
        }
        auto* action = new QAction(QString::fromUtf8(item.text), &owner);
        action->setObjectName(QString::number(item.id));
        popup->addAction(action);
    }
    return popup;
}

void RemoveByPosition(QMenu& popup, std::initializer_list<int> positions)
{
    // Positions refer to the popup as it is when each removal happens, so
    // they are given from the highest down.
    for (int position : positions) {
        const QList<QAction*> actions = popup.actions();
        if (position < actions.size()) {
            popup.removeAction(actions[position]);
        }
    }
}

} // namespace

MainMenu BuildMainMenu(QMenuBar& bar, QObject& owner)
{
    using namespace command;
    MainMenu menu;
    menu.settings = AddPopup(bar, owner, "&Settings",
                             {{kTimings, "&Timings..."}, {0, nullptr}, {kExit, "&Exit"}});
    menu.tools = AddPopup(bar, owner, "&Tools",
                          {{kReadFlash, "&Read FLASH..."},
                           {kReadEeprom, "R&ead EEPROM..."},
                           {kReadRam, "Re&ad RAM..."},
                           {0, nullptr},
                           {kWriteFlash, "&Write FLASH..."},
                           {kWriteEeprom, "Wr&ite EEPROM..."},
                           {kWriteRam, "Wri&te RAM..."},
                           {0, nullptr},
                           {kReset, "Re&set"},
                           {0, nullptr},
                           {kUpgrade, "&Upgrade..."},
                           {0, nullptr},
                           {kWriteErrorLog, "Write Error &Log..."},
                           {0, nullptr},
                           {kSaveProfile, "Sa&ve Profile..."},
                           {kLoadProfile, "L&oad Profile..."},
                           {kServiceHistory, "Service &History..."},
                           {kServiceReport, "Service &Report..."},
                           {kReportNames, "Report &Names..."}});
    menu.help = AddPopup(bar, owner, "&Help",
                         {{kContents, "&Contents"}, {0, nullptr}, {kAbout, "&About Kestrum"}});
    return menu;
}

void TrimMainMenu(const MainMenu& menu)
{
    RemoveByPosition(*menu.tools, {9, 7, 6, 5, 4, 3, 2, 1, 0});
    RemoveByPosition(*menu.help, {1, 0});
}

QAction* FindCommand(const QObject& owner, int id)
{
    return owner.findChild<QAction*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

} // namespace kestrum
