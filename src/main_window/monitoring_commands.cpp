#include "main_window/monitoring_commands.h"

#include "engine/scheduler.h"
#include "main_window/main_menus.h"

#include <QAction>
#include <QApplication>

void ConnectMonitoringCommands(const MainMenus& menus, Scheduler& scheduler, QObject* context) {
    auto onTrigger = [&](const char* name, void (Scheduler::*command)()) {
        if (QAction* action = menus.Action(QLatin1String(name)))
            QObject::connect(action, &QAction::triggered, context, [&scheduler, command] {
                // The tray icon's menu stays usable while a modal dialog is
                // open, the window's own menus do not: no pass starts and
                // monitoring stays as it is while a dialog holds its data
                // (an account dialog writes into the current account).
                if (QApplication::activeModalWidget())
                    return;
                (scheduler.*command)();
            });
    };
    onTrigger("mnuUpdateNow", &Scheduler::mnuUpdateNow_Click);
    onTrigger("mnuSuspend", &Scheduler::mnuSuspend_Click);
    onTrigger("mnuResume", &Scheduler::mnuResume_Click);
}
