#pragma once

class MainMenus;
class QObject;
class Scheduler;

// Connects the Monitoring menu's Update Now, Suspend and Resume to the
// scheduler, for as long as `context` lives. Each does nothing while a modal
// dialog is open.
void ConnectMonitoringCommands(const MainMenus& menus, Scheduler& scheduler, QObject* context);
