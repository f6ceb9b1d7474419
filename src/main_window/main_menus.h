#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

class AppState;
class QAction;
class QMenu;
class QMenuBar;

// One entry of the main window's menus: an item, or a separator when the
// caption is empty.
struct MenuEntry {
    const char* Caption;
    const char* Shortcut; // portable text form, empty for none
    const char* ObjectName;
};

// One top menu with its entries.
struct MenuDefinition {
    const char* Caption;
    const char* ObjectName;
    QList<MenuEntry> Entries;
};

// The menu bar of the main window, from left to right.
const QList<MenuDefinition>& MainMenuTable();

// The four top menus, built from MainMenuTable(). They serve both as the menu
// bar and as the account tree's context menus.
class MainMenus {
public:
    // Adds the menus to the bar; they and their actions belong to it.
    explicit MainMenus(QMenuBar& bar);

    QMenu* Monitoring() const { return m_monitoring; }
    QMenu* Accounts() const { return m_accounts; }
    QMenu* Messages() const { return m_messages; }
    QMenu* Help() const { return m_help; }

    // The item with the given objectName ("mnuUpdateNow"), or nullptr.
    QAction* Action(const QString& objectName) const;

    // A disabled top menu is greyed in the bar, does not open, and none of its
    // items react to their shortcut.
    void SetTopMenusEnabled(bool enabled);
    static bool IsMenuEnabled(const QMenu* menu);

private:
    QMenu* m_monitoring = nullptr;
    QMenu* m_accounts = nullptr;
    QMenu* m_messages = nullptr;
    QMenu* m_help = nullptr;
    QList<QMenu*> m_menus;
};

// Enables and shows the items that depend on the selection and on whether
// monitoring is suspended.
void UpdateMenus(const AppState& state, const MainMenus& menus);
