#include "main_window/monitoring_commands.h"

#include "engine/scheduler.h"
#include "main_window/main_menus.h"

#include <QAction>

void ConnectMonitoringCommands(const MainMenus& menus, Scheduler& scheduler, QObject* context) {
    auto onTrigger = [&](const char* name, void (Scheduler::*command)()) {
        if (QAction* action = menus.Action(QLatin1String(name)))
            QObject::connect(action, &QAction::triggered, context,
                             [&scheduler, command] { (scheduler.*command)(); });
    };
    onTrigger("mnuUpdateNow", &Scheduler::mnuUpdateNow_Click);
    onTrigger("mnuSuspend", &Scheduler::mnuSuspend_Click);
    onTrigger("mnuResume", &Scheduler::mnuResume_Click);
}
