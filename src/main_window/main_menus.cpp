#include "main_window/main_menus.h"

#include "records/app_state.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

const QList<MenuDefinition>& MainMenuTable() {
    static const QList<MenuDefinition> table = {
        {"M&onitoring",
         "mnuMonitoring",
         {
             {"&Update Now", "Ctrl+U", "mnuUpdateNow"},
             {"&Suspend", "Ctrl+S", "mnuSuspend"},
             {"&Resume", "Ctrl+R", "mnuResume"},
             {"", "", "mnusep1"},
             {"&Options...", "Ctrl+O", "mnuOptions"},
             {"E&xit", "Ctrl+X", "mnuExit"},
         }},
        {"&Accounts",
         "mnuAccounts",
         {
             {"&Add Account", "Ctrl+A", "mnuNewAccount"},
             {"&Modify Account", "Ctrl+M", "mnuModifyAccount"},
             {"&Delete Account", "", "mnuDeleteAccount"},
         }},
        {"&Messages",
         "mnuMessages",
         {
             {"&View Message", "Ctrl+V", "mnuViewMessage"},
             {"&Properties", "Ctrl+P", "mnuProperties"},
             {"", "", "mnusep2"},
             {"Message &Filtering...", "Ctrl+F", "mnuFilter"},
             {"&Log File...", "Ctrl+L", "mnuLogFile"},
             {"", "", "mnusep3"},
             {"&Delete Message", "Ctrl+D", "mnuDeleteMessage"},
         }},
        {"&Help",
         "mnuHelp",
         {
             {"&Contents", "", "mnuHelpContents"},
             {"&About Larkwatch", "", "mnuAbout"},
         }},
    };
    return table;
}

MainMenus::MainMenus(QMenuBar& bar) {
    for (const MenuDefinition& definition : MainMenuTable()) {
        QMenu* menu = bar.addMenu(QString::fromUtf8(definition.Caption));
        menu->setObjectName(QString::fromUtf8(definition.ObjectName));
        menu->menuAction()->setObjectName(QString::fromUtf8(definition.ObjectName));
        for (const MenuEntry& entry : definition.Entries) {
            QAction* action = *entry.Caption ? menu->addAction(QString::fromUtf8(entry.Caption))
                                             : menu->addSeparator();
            action->setObjectName(QString::fromUtf8(entry.ObjectName));
            if (*entry.Shortcut)
                action->setShortcut(QKeySequence(QString::fromUtf8(entry.Shortcut)));
        }
        m_menus.append(menu);
    }
    m_monitoring = m_menus.at(0);
    m_accounts = m_menus.at(1);
    m_messages = m_menus.at(2);
    m_help = m_menus.at(3);

    // Resume is offered only while monitoring is suspended.
    QAction* resume = Action(QStringLiteral("mnuResume"));
    resume->setEnabled(false);
    resume->setVisible(false);
}

QAction* MainMenus::Action(const QString& objectName) const {
    for (QMenu* menu : m_menus) {
        for (QAction* action : menu->actions()) {
            if (action->objectName() == objectName)
                return action;
        }
    }
    return nullptr;
}

void MainMenus::SetTopMenusEnabled(bool enabled) {
    for (QMenu* menu : m_menus) {
        // Greys the menu in the bar and keeps its items' shortcuts from firing.
        menu->menuAction()->setEnabled(enabled);
        menu->setEnabled(enabled);
    }
}

bool MainMenus::IsMenuEnabled(const QMenu* menu) {
    return menu->menuAction()->isEnabled();
}

void UpdateMenus(const AppState& state, const MainMenus& menus) {
    auto action = [&](const char* name) { return menus.Action(QLatin1String(name)); };
    const bool haveAccount = state.CurrentAccount != 0;
    const bool haveMessage = state.CurrentMessage != 0;
    action("mnuModifyAccount")->setEnabled(haveAccount);
    action("mnuDeleteAccount")->setEnabled(haveAccount);
    action("mnuDeleteMessage")->setEnabled(haveMessage);
    action("mnuViewMessage")->setEnabled(haveMessage);
    action("mnuProperties")->setEnabled(haveMessage);

    const bool suspended = state.MonitoringSuspended;
    if (suspended) {
        action("mnuDeleteMessage")->setEnabled(false);
        action("mnuViewMessage")->setEnabled(false);
    }
    action("mnuUpdateNow")->setEnabled(!suspended);
    action("mnuResume")->setEnabled(suspended);
    action("mnuResume")->setVisible(suspended);
    action("mnuSuspend")->setEnabled(!suspended);
    action("mnuSuspend")->setVisible(!suspended);
}
