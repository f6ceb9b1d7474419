#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

// The count of new mail on the desktop's launcher: the task managers and
// docks that follow the launcher API show it on Larkwatch's entry, whether or
// not the desktop has a notification area. It is a signal on the session bus
// (com.canonical.Unity.LauncherEntry.Update) for the app URI of Larkwatch's
// desktop file; a count of 0 takes the number away.
class LauncherCount final : public QObject {
    Q_OBJECT
public:
    static inline const QString kAppUri =
        QStringLiteral("application://io.github.larkwatch.Larkwatch.desktop");
    static inline const QString kObjectPath =
        QStringLiteral("/io/github/larkwatch/Larkwatch/LauncherEntry");

    explicit LauncherCount(QDBusConnection bus = QDBusConnection::sessionBus(),
                           QObject* parent = nullptr);

    // Shows count on the launcher (none for 0 or less). Sent only when it
    // differs from the count shown; true when a signal went out.
    bool Show(int count);
    int Shown() const { return m_shown; }

Q_SIGNALS:
    void Changed(int count);

private:
    QDBusConnection m_bus;
    int m_shown = 0;
};
