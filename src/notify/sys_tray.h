#pragma once

#include "main_window/window_collaborators.h"

#include <QIcon>
#include <QObject>
#include <QString>
#include <QTimer>

class QSystemTrayIcon;

// The program's icon in the notification area, "cSysTray", on QSystemTrayIcon.
// InTray says whether the icon is wanted; it is shown while it is wanted and
// the desktop has a notification area, and taken away when no longer wanted
// or when the control goes. TrayIcon and TrayTip are kept whether or not the
// icon is shown. The icon's clicks arrive as MouseDown, MouseUp and
// MouseDblClick with the designed button numbers (1 left, 2 right).
class SysTray final : public QObject, public TrayArea {
    Q_OBJECT
public:
    // The longest tip the icon carries; a longer one is cut.
    static constexpr int kMaxTipLength = 63;

    explicit SysTray(QObject* parent = nullptr);
    ~SysTray() override;

    bool InTray() const { return m_inTray; }
    void SetInTray(bool Show) override;
    QIcon TrayIcon() const { return m_icon; }
    // A null icon is ignored: the previous one stays.
    void SetTrayIcon(const QIcon& Icon);
    QString TrayTip() const { return m_tip; }
    void SetTrayTip(const QString& Tip);

    // Whether the icon is shown in a notification area now: wanted, and the
    // desktop has one. Only then can the window be hidden for the tray.
    bool Available() const override;
    // One of the four pictures (TrayPictures: the icon theme's, or
    // SmallIconPic); the new-mail picture with the count of new messages on
    // it when newMessages is 1 or more.
    void SetPicture(TrayPicture picture, int newMessages = 0) override;

    // The icon as the desktop sees it.
    const QSystemTrayIcon& Icon() const { return *m_trayIcon; }
    // How often the control looks whether the notification area has come or gone.
    void SetWatchInterval(int milliseconds) { m_watch.setInterval(milliseconds); }

Q_SIGNALS:
    void MouseMove(qint32 Id);
    void MouseDown(qint16 Button, qint32 Id);
    void MouseUp(qint16 Button, qint32 Id);
    void MouseDblClick(qint16 Button, qint32 Id);
    // The notification area has appeared or gone while the icon is wanted
    // (a panel restarting, for example); Available() tells which.
    void AvailabilityChanged(bool available);

private:
    void ShowIcon();
    void WatchArea();
    static bool DesktopHasArea();

    QSystemTrayIcon* m_trayIcon;
    QTimer m_watch;
    bool m_inTray = false;
    bool m_iconAdded = false;
    bool m_areaSeen = false;
    QIcon m_icon;
    QString m_tip;
};
