#include "notify/notifications.h"

#include "main_window/larkwatch_icons.h"
#include "main_window/main_window.h"
#include "notify/desktop_notifier.h"
#include "notify/new_mail_notice.h"
#include "notify/sound_effect_device.h"
#include "notify/sound_player.h"
#include "notify/sys_tray.h"
#include "notify/tray_commands.h"

Notifications::Notifications(AppState& state, std::unique_ptr<SoundDevice> device)
    : m_device(device ? std::move(device) : std::make_unique<SoundEffectDevice>()),
      m_sounds(std::make_unique<SoundPlayer>(state, *m_device)),
      m_tray(std::make_unique<SysTray>()), m_newMail(std::make_unique<NewMailDialogNotice>(state)),
      m_desktop(std::make_unique<DesktopNotifier>()) {
    // The main window's icon: not yet in the tray, idle, tip "Lark-W".
    m_tray->SetTrayIcon(LarkwatchIcons::SmallIconPic(0));
    m_tray->SetTrayTip(QStringLiteral("Lark-W"));
}

Notifications::~Notifications() = default;

WindowCollaborators Notifications::Collaborators() const {
    WindowCollaborators parts;
    parts.Tray = m_tray.get();
    parts.NewMail = m_newMail.get();
    parts.Sounds = m_sounds.get();
    parts.Desktop = m_desktop.get();
    return parts;
}

void Notifications::Attach(MainWindow& window) {
    m_newMail->Attach(window);
    new TrayCommands(*m_tray, window); // the window's child
    // A click on the desktop's notification, or its View Mail, brings the
    // window back as the new-mail dialog's View Mail does.
    QObject::connect(m_desktop.get(), &DesktopNotifier::Activated, &window, [&window] {
        window.ShowInRecordedState();
        window.HideSelection();
    });
}
