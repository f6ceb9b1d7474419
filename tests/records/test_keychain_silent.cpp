#include "records/account_store.h"
#include "records/keychain_vault.h"
#include "records/keyring_passwords.h"
#include "records/password_codec.h"
#include "support/fail_on_warning.h"
#include "support/temp_state.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QSettings>
#include <QtTest>

// A Secret Service that takes every call and never answers, on the test's
// private session bus (dbus-run-session) and a connection of its own.
class SilentSecretService : public QDBusVirtualObject {
public:
    explicit SilentSecretService(const QString& connectionName)
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName)) {}
    ~SilentSecretService() override {
        m_bus.unregisterService("org.freedesktop.secrets");
        QDBusConnection::disconnectFromBus(m_bus.name());
    }
    bool Register() {
        return m_bus.registerVirtualObject("/", this, QDBusConnection::SubPath) &&
               m_bus.registerService("org.freedesktop.secrets");
    }
    QString introspect(const QString&) const override { return QString(); }
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override {
        ++Calls;
        return true; // taken, and no reply ever
    }
    int Calls = 0;

private:
    QDBusConnection m_bus;
};

// A keyring that does not answer costs one bounded wait, then counts as absent.
class TestKeychainSilent : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init() { FailOnUnexpectedWarnings(); }
    void silentKeyringCountsAsAbsent();

private:
    std::unique_ptr<SilentSecretService> m_service;
};

void TestKeychainSilent::initTestCase() {
    QVERIFY2(QDBusConnection::sessionBus().isConnected(),
             "no session bus: run the test under dbus-run-session");
    // The name is taken before anything asks for it, so the bus starts no
    // keyring daemon of its own.
    m_service = std::make_unique<SilentSecretService>("silent-secrets");
    QVERIFY(m_service->Register());
}

void TestKeychainSilent::silentKeyringCountsAsAbsent() {
    constexpr int kLimitMs = 300;
    TempState t;
    t.State->Vault = std::make_unique<KeychainVault>(kLimitMs);
    MailAccount home;
    home.Title = "Home";
    home.Host = "pop.example.org";
    home.User = "ann";
    home.Password = "home-Secret-1";
    MailAccount work = home;
    work.Title = "Work";
    work.User = "bob";
    t.State->Accounts = {home, work};

    QElapsedTimer clock;
    clock.start();
    SaveAccounts(*t.State);
    const qint64 firstSave = clock.elapsed();
    QVERIFY2(firstSave >= kLimitMs, qPrintable(QString("done after %1 ms").arg(firstSave)));
    QVERIFY(m_service->Calls > 0);
    QSettings raw(t.State->Paths.SettingsFile, QSettings::IniFormat);
    QCOMPARE(raw.value("Accounts/Password1").toString(), EncodePassword("home-Secret-1"));
    QCOMPARE(raw.value("Accounts/Password2").toString(), EncodePassword("home-Secret-1"));

    // From then on the vault does not wait again.
    t.State->Store.WriteSetting("Accounts", "Password2", kKeyringMarker);
    clock.restart();
    LoadAccounts(*t.State);
    SaveAccounts(*t.State);
    QVERIFY2(clock.elapsed() < kLimitMs, "waited for the silent keyring again");
    QCOMPARE(t.State->Account(1).Password, QString("home-Secret-1"));
    QCOMPARE(t.State->Account(2).PasswordProblem, KeyringProblem::NoAnswer);
}

QTEST_GUILESS_MAIN(TestKeychainSilent)
#include "test_keychain_silent.moc"
