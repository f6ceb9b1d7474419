#pragma once

#include "engine/monitor_host.h"

// The engine's host in the headless check: there is no window, no menu, no
// pointer, no tray and no sound, so everything asked of it is left out.
class HeadlessHost final : public MonitorHost {
public:
    void SetTopMenusEnabled(bool) override {}
    void SetBusyCursor(bool) override {}
    void SetCaption(const QString&) override {}
    void SetTimeLeftText(const QString&) override {}
    void SetTrayPicture(TrayPicture) override {}
    bool IsMinimized() const override { return false; }
    void BringBackWindow() override {}
    void HideSelection() override {}
    void SetUpdateNowEnabled(bool) override {}
    void UpdateMenus() override {}
    void ShowNewMailDialog(bool) override {}
    void AnnounceNewMail() override {}
    void PlaySounds(const QStringList&) override {}
    void CloseProgram() override {}
};
