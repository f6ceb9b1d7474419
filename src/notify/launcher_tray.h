#pragma once

#include "main_window/window_collaborators.h"

#include <functional>

class LauncherCount;

// The tray area handed to the window: the program's icon in the notification
// area, whose count of new mail is echoed on the desktop's launcher. The
// launcher follows every change of the icon's count, with or without a
// notification area: the new-mail picture shows its count there, the checking
// picture leaves the count shown, every other picture takes it away.
class LauncherTray final : public TrayArea {
public:
    LauncherTray(TrayArea& tray, LauncherCount& launcher) : m_tray(tray), m_launcher(launcher) {}

    bool Available() const override { return m_tray.Available(); }
    void SetInTray(bool inTray) override { m_tray.SetInTray(inTray); }
    void SetPicture(TrayPicture picture, int newMessages) override;

    // Called after each picture, whatever the count: where the count of new
    // mail is told to others, now is the time to look at it.
    std::function<void()> PictureSet;

private:
    TrayArea& m_tray;
    LauncherCount& m_launcher;
};
