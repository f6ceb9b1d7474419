#include "records/account_store.h"
#include "records/keychain_vault.h"
#include "records/keyring_passwords.h"
#include "records/password_codec.h"
#include "support/sample_account.h"
#include "support/fail_on_warning.h"
#include "support/file_contents.h"
#include "support/temp_state.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QSettings>
#include <QtTest>

// The desktop keyring for real: a Secret Service of the test's own
// (gnome-keyring-daemon on a private session bus, see private_keyring.sh).
class TestKeychainVault : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init() { FailOnUnexpectedWarnings(); }
    void entriesAreWrittenReadAndRemoved();
    void accountsRoundTripThroughKeyring();
};

namespace {
QString stored(const AppState& state, int n) {
    QSettings raw(state.Paths.SettingsFile, QSettings::IniFormat);
    return raw.value(QString("Accounts/Password%1").arg(n)).toString();
}

MailAccount account(const QString& title, const QString& password) {
    return SampleAccount(title, password, 995);
}

std::unique_ptr<AppState> withKeyring(std::unique_ptr<AppState> state) {
    state->Vault = std::make_unique<KeychainVault>();
    return state;
}
} // namespace

void TestKeychainVault::initTestCase() {
    QVERIFY2(QDBusConnection::sessionBus().isConnected(),
             "no session bus: run the test under private_keyring.sh");
    QTRY_VERIFY2(
        QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.secrets"),
        "no Secret Service on the test's bus");
}

void TestKeychainVault::entriesAreWrittenReadAndRemoved() {
    using Outcome = PasswordVault::Outcome;
    KeychainVault vault;
    const QString entry = "ann@pop.example.org:110";
    QCOMPARE(vault.Read(entry).Result, Outcome::NotFound);
    QCOMPARE(vault.Write(entry, "first"), Outcome::Done);
    QCOMPARE(vault.Write(entry, "p;w=r\\d[]# Pässwörd€ 東京"), Outcome::Done);
    const PasswordVault::ReadResult read = vault.Read(entry);
    QCOMPARE(read.Result, Outcome::Done);
    QCOMPARE(read.Password, QString("p;w=r\\d[]# Pässwörd€ 東京"));
    // Entries are told apart by their whole name.
    QCOMPARE(vault.Read("ann@pop.example.org:995").Result, Outcome::NotFound);
    QCOMPARE(vault.Remove(entry), Outcome::Done);
    QCOMPARE(vault.Read(entry).Result, Outcome::NotFound);
    // Removing what is not there is no failure (the Secret Service does
    // not tell the two apart).
    QVERIFY(vault.Remove(entry) != Outcome::NoAnswer);
}

void TestKeychainVault::accountsRoundTripThroughKeyring() {
    TempState t;
    t.State->Vault = std::make_unique<KeychainVault>();
    t.State->Accounts = {account("Home", "home-Secret-1"), account("Work", "work-Secret-2")};
    SaveAccounts(*t.State);

    // With the keyring the settings file holds no password.
    QCOMPARE(stored(*t.State, 1), kKeyringMarker);
    QCOMPARE(stored(*t.State, 2), kKeyringMarker);
    const QByteArray file = ReadWholeFile(t.State->Paths.SettingsFile);
    for (const char* password : {"home-Secret-1", "work-Secret-2"}) {
        QVERIFY(!file.contains(password));
        QVERIFY(!file.contains(EncodePassword(password).toLatin1()));
    }

    // A fresh state, as at the next start, with a vault of its own.
    auto again = withKeyring(t.Reopen());
    LoadAccounts(*again);
    QCOMPARE(again->Account(1).Password, QString("home-Secret-1"));
    QCOMPARE(again->Account(2).Password, QString("work-Secret-2"));
    QCOMPARE(again->Account(1).PasswordProblem, QString());

    // Deleting an account removes its entry.
    again->Accounts.removeAt(0);
    SaveAccounts(*again);
    KeychainVault look;
    QCOMPARE(look.Read(KeyringEntryName(account("Home", ""))).Result,
             PasswordVault::Outcome::NotFound);

    // The option off: the password goes back into the settings file and
    // its entry goes.
    again->AppSettings.Keyring = false;
    QVERIFY(MovePasswordsAsChosen(*again));
    QCOMPARE(stored(*again, 1), EncodePassword("work-Secret-2"));
    QCOMPARE(look.Read(KeyringEntryName(account("Work", ""))).Result,
             PasswordVault::Outcome::NotFound);
    auto third = withKeyring(t.Reopen());
    LoadAccounts(*third);
    QCOMPARE(third->Account(1).Password, QString("work-Secret-2"));
}

QTEST_GUILESS_MAIN(TestKeychainVault)
#include "test_keychain_vault.moc"
