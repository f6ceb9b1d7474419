#include "app/dbus_service.h"

#include "app/window_remote.h"
#include "records/app_state.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QJsonDocument>
#include <QVariantMap>

DBusService::DBusService(AppState& state, WindowRemote& remote, QDBusConnection bus,
                         QObject* parent)
    : QObject(parent), m_state(state), m_remote(remote), m_bus(std::move(bus)) {}

DBusService::~DBusService() {
    if (!m_registered)
        return;
    m_bus.unregisterService(kService);
    m_bus.unregisterObject(kPath);
}

bool DBusService::Register() {
    if (!m_bus.isConnected())
        return false;
    if (!m_bus.registerObject(kPath, this,
                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                  QDBusConnection::ExportAllProperties))
        return false;
    if (!m_bus.registerService(kService)) {
        m_bus.unregisterObject(kPath);
        return false;
    }
    m_registered = true;
    return true;
}

uint DBusService::NewMailCount() const {
    return uint(std::max<int>(m_state.NewMailCount, 0));
}

void DBusService::Refuse(const QString& refusal) {
    if (calledFromDBus())
        sendErrorReply(kBusyError, refusal);
}

void DBusService::CheckNow() {
    if (const QString refusal = m_remote.CheckNow(); !refusal.isEmpty())
        Refuse(refusal);
}

void DBusService::Show() {
    m_remote.Show();
}

void DBusService::MarkAllRead() {
    if (const QString refusal = m_remote.MarkAllRead(); !refusal.isEmpty())
        Refuse(refusal);
    PublishCount();
}

QString DBusService::GetStatus() {
    return QString::fromUtf8(QJsonDocument(m_remote.Status()).toJson(QJsonDocument::Compact));
}

void DBusService::PassFoundNewMail() {
    PublishCount();
    if (m_registered)
        Q_EMIT NewMail(NewMailCount());
}

void DBusService::PublishCount() {
    const uint count = NewMailCount();
    if (count == m_published)
        return;
    m_published = count;
    if (!m_registered)
        return;
    QDBusMessage changed =
        QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    changed << kInterface << QVariantMap{{QStringLiteral("NewMailCount"), count}} << QStringList();
    m_bus.send(changed);
}
