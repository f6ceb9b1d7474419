#include "notify/desktop_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kViewAction = QStringLiteral("view");
const QString kMarkReadAction = QStringLiteral("mark-read");
constexpr int kCallTimeoutMs = 5000;

// Markup the service might act on: "&", "<" and ">" become entities.
QString escaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == QLatin1Char('&'))
            out += QStringLiteral("&amp;");
        else if (c == QLatin1Char('<'))
            out += QStringLiteral("&lt;");
        else if (c == QLatin1Char('>'))
            out += QStringLiteral("&gt;");
        else if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            out += QLatin1Char(' '); // one message, one line
        else
            out += c;
    }
    return out;
}
} // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_available(m_bus.isConnected()) {
    if (!m_available)
        return;
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(OnActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(OnNotificationClosed(uint, uint)));
}

QString DesktopNotifier::Summary(int count) {
    return count == 1 ? QStringLiteral("Larkwatch: 1 new message")
                      : QStringLiteral("Larkwatch: %1 new messages").arg(count);
}

QString DesktopNotifier::Body(int count, const QList<NoticeMessage>& messages) {
    QStringList lines;
    for (const NoticeMessage& m : messages.mid(0, kListed)) {
        const QString from = m.From.trimmed().isEmpty() ? QStringLiteral("(no sender)") : m.From;
        const QString subject =
            m.Subject.trimmed().isEmpty() ? QStringLiteral("(no subject)") : m.Subject;
        lines << escaped(from) + QStringLiteral(": ") + escaped(subject);
    }
    const int more = count - int(lines.size());
    if (more > 0 && !lines.isEmpty())
        lines << QStringLiteral("and %1 more").arg(more);
    return lines.join(QLatin1Char('\n'));
}

bool DesktopNotifier::Announce(int count, const QList<NoticeMessage>& messages) {
    if (!m_available || count < 1)
        return false;
    if (m_capabilitiesKnown) {
        Send(count, messages);
        return true;
    }
    // Once per run, before the first notification: may it carry buttons?
    const QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                            QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, count, messages](QDBusPendingCallWatcher* call) {
                OnCapabilities(call, count, messages);
            });
    return true;
}

void DesktopNotifier::OnCapabilities(QDBusPendingCallWatcher* call, int count,
                                     const QList<NoticeMessage>& messages) {
    call->deleteLater();
    const QDBusPendingReply<QStringList> reply = *call;
    if (reply.isError()) {
        TurnOff();
        return;
    }
    m_capabilitiesKnown = true;
    m_actions = reply.value().contains(QStringLiteral("actions"));
    Send(count, messages);
}

void DesktopNotifier::Send(int count, const QList<NoticeMessage>& messages) {
    const QStringList actions =
        m_actions ? QStringList{QStringLiteral("default"),
                                QStringLiteral("View Mail"),
                                kViewAction,
                                QStringLiteral("View Mail"),
                                kMarkReadAction,
                                QStringLiteral("Mark as read")}
                  : QStringList{QStringLiteral("default"), QStringLiteral("Show Larkwatch")};
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("io.github.larkwatch.Larkwatch"));
    hints.insert(QStringLiteral("category"), QStringLiteral("email.arrived"));
    call << QStringLiteral("Larkwatch") << m_id << QStringLiteral("larkwatch") << Summary(count)
         << Body(count, messages) << actions << hints << qint32(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &DesktopNotifier::OnReply);
}

void DesktopNotifier::OnReply(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    const QDBusPendingReply<uint> reply = *call;
    if (reply.isError()) {
        TurnOff();
        return;
    }
    m_id = reply.value();
    Q_EMIT Answered(true);
}

void DesktopNotifier::TurnOff() {
    // No service, or one that does not answer: no more announcements.
    m_available = false;
    m_id = 0;
    Q_EMIT Answered(false);
}

void DesktopNotifier::OnActionInvoked(uint id, const QString& action) {
    if (id == 0 || id != m_id)
        return;
    if (action == QLatin1String("default") || action == kViewAction)
        Q_EMIT Activated();
    else if (action == kMarkReadAction)
        Q_EMIT MarkReadChosen();
}

void DesktopNotifier::OnNotificationClosed(uint id, uint) {
    // Gone from the desktop: the next one is a new notification.
    if (id == m_id)
        m_id = 0;
}
