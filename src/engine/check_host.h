#pragma once

#include <QString>

// What a check needs from the window it runs in. The main window implements it
// with its menus, pointer and tree view; the headless check mode leaves all of
// it out.
class CheckHost {
public:
    virtual ~CheckHost() = default;
    // Enables or disables the four top menus (Monitoring, Accounts, Messages, Help).
    virtual void SetTopMenusEnabled(bool enabled) = 0;
    // The arrow with hourglass while a check talks to the server; always balanced.
    virtual void SetBusyCursor(bool busy) = 0;
};
