#pragma once

#include "main_window/window_collaborators.h"
#include "notify/sound_device.h"

#include <memory>

class AppState;
class DesktopNotifier;
class MainWindow;
class NewMailDialogNotice;
class SoundPlayer;
class SysTray;

// The program's notifications: the new-mail dialog, the sounds, the tray
// icon and the desktop's notification, made before the main window and handed to it:
//
//     Notifications notifications(state);
//     MainWindow window(state, notifications.Collaborators());
//     notifications.Attach(window);
//
// They must outlive the window's use of them; the tray icon goes with them.
class Notifications {
public:
    // The sound device is the program's QSoundEffect player unless one is given.
    explicit Notifications(AppState& state, std::unique_ptr<SoundDevice> device = nullptr);
    ~Notifications();

    // The tray, the new-mail dialog and the sounds; the memory is the window's own.
    WindowCollaborators Collaborators() const;
    // Owner of the dialog, and the window the tray icon's clicks bring back.
    void Attach(MainWindow& window);

    SysTray& Tray() const { return *m_tray; }
    SoundPlayer& Sounds() const { return *m_sounds; }
    NewMailDialogNotice& NewMail() const { return *m_newMail; }
    DesktopNotifier& Desktop() const { return *m_desktop; }

private:
    std::unique_ptr<SoundDevice> m_device;
    std::unique_ptr<SoundPlayer> m_sounds;
    std::unique_ptr<SysTray> m_tray;
    std::unique_ptr<NewMailDialogNotice> m_newMail;
    std::unique_ptr<DesktopNotifier> m_desktop;
};
