#pragma once

#include "engine/check_host.h"

#include <QString>
#include <QStringList>

// What a pass over all accounts needs from the window around it, beyond a
// check's needs. The headless check mode uses the empty implementations.
class MonitorHost : public CheckHost {
public:
    void SetTopMenusEnabled(bool) override {}
    void SetBusyCursor(bool) override {}

    virtual void SetCaption(const QString&) {}
    virtual void SetTimeLeftText(const QString&) {}
    // Tray pictures: 0 no new mail, 1 checking, 2 new mail, 3 suspended.
    virtual void SetTrayPicture(int) {}
    virtual bool IsMinimized() const { return false; }
    // Brings the window back in the state it had before it was minimised or
    // hidden, and gives the tree the focus.
    virtual void BringBackWindow() {}
    virtual void HideSelection() {}
    virtual void SetUpdateNowEnabled(bool) {}
    virtual void UpdateMenus() {}
    // The new-mail dialog after a pass: shown when closed and there is new
    // mail, updated (and focused when asked) when open.
    virtual void ShowNewMailDialog(bool focusOpenDialog) { (void)focusOpenDialog; }
    // Plays the configured sound once (no files), or each distinct file once.
    virtual void PlaySounds(const QStringList& wavFiles) { (void)wavFiles; }
    // Ends the program without asking (a failed connection with AutoExit).
    virtual void CloseProgram() {}
};
