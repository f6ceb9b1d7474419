#include "notify/launcher_count.h"

#include <QDBusMessage>
#include <algorithm>
#include <QVariantMap>

LauncherCount::LauncherCount(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {}

bool LauncherCount::Show(int count) {
    count = std::max(count, 0);
    if (count == m_shown)
        return false;
    m_shown = count;
    Q_EMIT Changed(count);
    if (!m_bus.isConnected())
        return false;
    QDBusMessage update = QDBusMessage::createSignal(
        kObjectPath, QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("count"), qint64(count));
    properties.insert(QStringLiteral("count-visible"), count > 0);
    update << kAppUri << properties;
    return m_bus.send(update);
}
