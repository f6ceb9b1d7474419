#pragma once

#include <QString>

class QTimer;

// What the checking engine asks of the main window while it works, without
// knowing any widget. The main window implements it; a headless run can
// implement it with no window at all.
class EngineWindow {
public:
    virtual ~EngineWindow() = default;

    // The four top menus "M&onitoring", "&Accounts", "&Messages" and "&Help",
    // with every shortcut of their items.
    virtual void SetTopMenusEnabled(bool enabled) = 0;
    // Whether "&Accounts" is enabled (false while a check runs).
    virtual bool AccountsMenuEnabled() const = 0;
    // The arrow with hourglass while the server is being talked to. Setting
    // the same state twice has no further effect, so the pointer stays balanced.
    virtual void SetBusyCursor(bool busy) = 0;
    // Enables the menu items from CurrentAccount, CurrentMessage and
    // MonitoringSuspended.
    virtual void UpdateMenus() = 0;
    // Clears the tree's selection display unless a dialog is open.
    virtual void HideSelection() = 0;
    virtual void SetUpdateNowEnabled(bool enabled) = 0;
    // The countdown box's text ("04:59").
    virtual void SetTimeLeftText(const QString& text) = 0;
    virtual void SetCaption(const QString& caption) = 0;
    virtual bool IsMinimized() const = 0;
    // Brings the window back in the state recorded when it was last not
    // minimised (normal or maximised), shows it if hidden, and gives the tree
    // the input focus.
    virtual void ShowInRecordedState() = 0;
    // Closes the program as the program's own code does (the exit question is
    // skipped while ExitPending is set).
    virtual void Unload() = 0;
    // The one-second polling timer "PoolingEvent".
    virtual QTimer& PoolingEvent() = 0;
};
