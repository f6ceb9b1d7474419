#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>

class AppState;
class WindowRemote;

// The running program on the session bus: service io.github.larkwatch.Larkwatch,
// object /io/github/larkwatch/Larkwatch, interface io.github.larkwatch.Larkwatch1
// (desktop/io.github.larkwatch.Larkwatch1.xml describes it to other programs).
// A method that may not run now answers the error Busy with the reason.
class DBusService final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.larkwatch.Larkwatch1")
    Q_PROPERTY(uint NewMailCount READ NewMailCount)
public:
    static inline const QString kService = QStringLiteral("io.github.larkwatch.Larkwatch");
    static inline const QString kPath = QStringLiteral("/io/github/larkwatch/Larkwatch");
    static inline const QString kInterface = QStringLiteral("io.github.larkwatch.Larkwatch1");
    static inline const QString kBusyError =
        QStringLiteral("io.github.larkwatch.Larkwatch1.Error.Busy");

    DBusService(AppState& state, WindowRemote& remote,
                QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    ~DBusService() override;

    // Puts the object and the service name on the bus; false when there is
    // no bus or the name is taken.
    bool Register();

    uint NewMailCount() const;
    // Not on the bus: what the program tells the object.
    // A pass found new mail: NewMail goes out, and the count's change.
    void PassFoundNewMail();
    // Tells the bus of a new NewMailCount, if it differs from the last told.
    void PublishCount();

public Q_SLOTS:
    // Monitoring > Update Now.
    void CheckNow();
    // Brings the window back.
    void Show();
    // Acknowledges the messages on display, as minimising the window does.
    void MarkAllRead();
    // The state as one JSON text (see WindowRemote::Status).
    QString GetStatus();

Q_SIGNALS:
    void NewMail(uint count);

private:
    void Refuse(const QString& refusal);

    AppState& m_state;
    WindowRemote& m_remote;
    QDBusConnection m_bus;
    bool m_registered = false;
    uint m_published = 0;
};
