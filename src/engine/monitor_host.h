#pragma once

#include <QString>
#include <QStringList>

// The picture of the notification-area icon.
enum class TrayPicture { NoNewMail = 0, Checking = 1, NewMail = 2, Suspended = 3 };

// What the engine asks of whatever hosts it: the main window, or nothing at
// all in the headless check. The engine never sees a widget.
class MonitorHost {
public:
    virtual ~MonitorHost() = default;

    // Enables or disables the four top menus (Monitoring, Accounts, Messages,
    // Help) with every shortcut of their items.
    virtual void SetTopMenusEnabled(bool enabled) = 0;
    // The arrow with hourglass while the server is being talked to. Setting
    // the same state twice has no further effect, so the pointer stays balanced.
    virtual void SetBusyCursor(bool busy) = 0;
    virtual void SetCaption(const QString& caption) = 0;
    // The countdown box's text ("04:59").
    virtual void SetTimeLeftText(const QString& text) = 0;
    virtual void SetTrayPicture(TrayPicture picture) = 0;
    virtual bool IsMinimized() const = 0;
    // Brings the window back in the state it had before it was minimised or
    // hidden (normal or maximised), and gives the tree the focus.
    virtual void BringBackWindow() = 0;
    // Clears the tree's selection display unless a dialog is open.
    virtual void HideSelection() = 0;
    virtual void SetUpdateNowEnabled(bool enabled) = 0;
    // Enables the menu items from CurrentAccount, CurrentMessage and
    // MonitoringSuspended.
    virtual void UpdateMenus() = 0;
    // The new-mail dialog after a pass: shown when closed and there is new
    // mail, updated (and focused when asked) when open.
    virtual void ShowNewMailDialog(bool focusOpenDialog) = 0;
    // After a pass that met mail not seen before: tells the desktop of it
    // where the user wants that (beside the designed dialog).
    virtual void AnnounceNewMail() = 0;
    // Plays the configured sound once (no files), or each distinct file once.
    virtual void PlaySounds(const QStringList& wavFiles) = 0;
    // Ends the program without asking (a failed connection with AutoExit).
    virtual void CloseProgram() = 0;
};
