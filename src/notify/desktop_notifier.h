#pragma once

#include "main_window/window_collaborators.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

// New mail announced through the desktop's notification service
// (org.freedesktop.Notifications on the session bus). Each announcement
// replaces the one before it while that one is still shown, so a desktop
// never holds a stack of them. The notification's default action (a click on
// it) raises Activated. Where the service shows actions, the notification
// carries "View Mail" (Activated as well) and "Mark as read" (MarkReadChosen).
// When the service does not answer, the notifier turns itself off for the
// rest of the run.
class DesktopNotifier final : public QObject, public DesktopNotice {
    Q_OBJECT
public:
    // The most messages the body lists; the rest are counted.
    static constexpr int kListed = 3;

    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus(),
                             QObject* parent = nullptr);

    // Sends the notification for count new messages, the first few of them
    // listed. Nothing is sent for a count below 1 or once the notifier is off;
    // true when a call went out.
    bool Announce(int count, const QList<NoticeMessage>& messages) override;
    // Whether announcements are still sent: no call has failed yet.
    bool Available() const { return m_available; }
    // The id the service gave the notification shown now; 0 when none.
    uint ShownId() const { return m_id; }

    // The texts of a notification. The body is plain text with the markup
    // characters escaped, since the service may read it as markup.
    static QString Summary(int count);
    static QString Body(int count, const QList<NoticeMessage>& messages);

Q_SIGNALS:
    // The user clicked the notification or chose "View Mail".
    void Activated();
    // The user chose "Mark as read".
    void MarkReadChosen();
    // The service answered a Notify call (ok) or failed to (the notifier is off).
    void Answered(bool ok);

private Q_SLOTS:
    void OnActionInvoked(uint id, const QString& action);
    void OnNotificationClosed(uint id, uint reason);

private:
    void Send(int count, const QList<NoticeMessage>& messages);
    void OnCapabilities(QDBusPendingCallWatcher* call, int count,
                        const QList<NoticeMessage>& messages);
    void OnReply(QDBusPendingCallWatcher* call);
    void TurnOff();

    QDBusConnection m_bus;
    bool m_available;
    uint m_id = 0;
    // Whether the service's capabilities were asked for, and whether they
    // list "actions".
    bool m_capabilitiesKnown = false;
    bool m_actions = false;
};
