#include "records/account_store.h"
#include "records/keychain_vault.h"
#include "records/keyring_passwords.h"
#include "records/password_codec.h"
#include "support/fail_on_warning.h"
#include "support/temp_state.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QtTest>

// The desktop keyring where none answers: the test's session bus address
// leads nowhere. Passwords stay in the settings file, without waiting.
class TestKeychainFallback : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void noKeyringKeepsPasswordsInSettingsFile();
};

void TestKeychainFallback::noKeyringKeepsPasswordsInSettingsFile() {
    TempState t;
    t.State->Vault = std::make_unique<KeychainVault>();
    MailAccount home;
    home.Title = "Home";
    home.Host = "pop.example.org";
    home.User = "ann";
    home.Password = "home-Secret-1";
    MailAccount marked = home;
    marked.Title = "Marked";
    marked.User = "bob";
    t.State->Accounts = {home, marked};

    QElapsedTimer clock;
    clock.start();
    SaveAccounts(*t.State);
    QVERIFY2(clock.elapsed() < KeychainVault::kDefaultTimeoutMs, "waited for a keyring");
    QSettings raw(t.State->Paths.SettingsFile, QSettings::IniFormat);
    QCOMPARE(raw.value("Accounts/Password1").toString(), EncodePassword("home-Secret-1"));

    // A settings file that points at the keyring: that account is loaded
    // without a password and with the reason, the other as stored.
    t.State->Store.WriteSetting("Accounts", "Password2", kKeyringMarker);
    auto again = t.Reopen();
    again->Vault = std::make_unique<KeychainVault>();
    LoadAccounts(*again);
    QCOMPARE(again->Account(1).Password, QString("home-Secret-1"));
    QCOMPARE(again->Account(2).Password, QString());
    QVERIFY2(again->Account(2).PasswordProblem.startsWith(KeyringProblem::NoAnswer),
             qPrintable(again->Account(2).PasswordProblem));
    // A start tries the keyring again and keeps both where they are.
    MovePasswordsAsChosen(*again);
    QSettings after(t.State->Paths.SettingsFile, QSettings::IniFormat);
    QCOMPARE(after.value("Accounts/Password1").toString(), EncodePassword("home-Secret-1"));
    QCOMPARE(after.value("Accounts/Password2").toString(), kKeyringMarker);
    QVERIFY2(clock.elapsed() < KeychainVault::kDefaultTimeoutMs, "waited for a keyring");
}

QTEST_GUILESS_MAIN(TestKeychainFallback)
#include "test_keychain_fallback.moc"
