#pragma once

#include "engine/monitor_host.h"

#include <QStringList>

// The parts of the program the main window hands work to. The window is given
// them when it is made; each one it is not given is replaced by the window's
// own default (see MainWindow).

// The seen-message memory of the engine, as the window's start-up, minimise
// and exit use it.
class MailMemory {
public:
    virtual ~MailMemory() = default;
    // Start-up: read the history "log.tmp" into SeenHeaders.
    virtual void LoadHistory() = 0;
    // Exit: add the messages on display to the seen list.
    virtual void AcknowledgeShownMessages() = 0;
    // Exit, after the above: replace "log.tmp" by SeenHeaders.
    virtual void SaveHistory() = 0;
    // Minimising: every message shown counts as acknowledged.
    virtual void MarkAllRead() = 0;
};

// The program's icon in the notification area.
class TrayArea {
public:
    virtual ~TrayArea() = default;
    // Whether the program's icon is shown in a notification area now (wanted,
    // and the desktop has one): only then may the window hide for the tray.
    virtual bool Available() const = 0;
    // Puts the icon in the notification area, or takes it away.
    virtual void SetInTray(bool inTray) = 0;
    // One of the four pictures; the new-mail picture carries newMessages
    // when it is 1 or more.
    virtual void SetPicture(TrayPicture picture, int newMessages) = 0;
};

// The modeless new-mail dialog.
class NewMailNotice {
public:
    virtual ~NewMailNotice() = default;
    // Shown when closed and there is new mail; updated (and focused when asked)
    // when open.
    virtual void Show(bool focusOpenDialog) = 0;
    virtual void Close() = 0;
};

// The WAV player.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // The configured sound once (no files), or each distinct file once.
    virtual void PlaySounds(const QStringList& wavFiles) = 0;
};

// What the window is given; a null member means "use the window's default".
// One new message as a desktop notification lists it.
struct NoticeMessage {
    QString From;
    QString Subject;
};

// The desktop's own notification of new mail, besides the new-mail dialog.
class DesktopNotice {
public:
    virtual ~DesktopNotice() = default;
    // Tells the desktop of count new messages, the first few of them listed;
    // true when the notification went out.
    virtual bool Announce(int count, const QList<NoticeMessage>& messages) = 0;
};

struct WindowCollaborators {
    MailMemory* Memory = nullptr;
    TrayArea* Tray = nullptr;
    NewMailNotice* NewMail = nullptr;
    SoundOutput* Sounds = nullptr;
    DesktopNotice* Desktop = nullptr;
};
