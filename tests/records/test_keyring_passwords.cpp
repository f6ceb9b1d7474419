#include "records/account_store.h"
#include "records/keyring_passwords.h"
#include "records/password_codec.h"
#include "support/sample_account.h"
#include "support/fail_on_warning.h"
#include "support/fake_password_vault.h"
#include "support/file_contents.h"
#include "support/temp_state.h"

#include <QSettings>
#include <algorithm>
#include <QtTest>

// Account passwords in a keyring, against a keyring in memory: where each
// password is stored, that none is lost on the way in or out, and what an
// account whose entry cannot be read looks like.
class TestKeyringPasswords : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void passwordsGoToKeyringAndComeBack();
    void withoutKeyringPasswordsStayInSettingsFile_data();
    void withoutKeyringPasswordsStayInSettingsFile();
    void optionMovesPasswordsBothWays();
    void unreadableEntry_data();
    void unreadableEntry();
    void entriesFollowAccounts();
    void sameMailboxTwiceKeepsBothPasswords();
};

namespace {
MailAccount account(const QString& title, const QString& password) {
    return SampleAccount(title, password);
}

FakePasswordVault& attachVault(AppState& state,
                               std::shared_ptr<FakePasswordVault::Keyring> keyring) {
    auto vault = std::make_unique<FakePasswordVault>(std::move(keyring));
    FakePasswordVault& ref = *vault;
    state.Vault = std::move(vault);
    return ref;
}

QString stored(const AppState& state, int n) {
    QSettings raw(state.Paths.SettingsFile, QSettings::IniFormat);
    return raw.value(QString("Accounts/Password%1").arg(n)).toString();
}

// A restart over the same files and the same keyring (none: no keyring).
std::unique_ptr<AppState> restart(const TempState& t,
                                  std::shared_ptr<FakePasswordVault::Keyring> keyring) {
    auto state = t.Reopen();
    if (keyring)
        attachVault(*state, std::move(keyring));
    LoadAccounts(*state);
    return state;
}
} // namespace

void TestKeyringPasswords::passwordsGoToKeyringAndComeBack() {
    TempState t;
    auto keyring = std::make_shared<FakePasswordVault::Keyring>();
    attachVault(*t.State, keyring);
    t.State->Accounts = {account("Home", "pw;Home=1"), account("Work", "Pässwörd€"),
                         account("Blank", "")};
    SaveAccounts(*t.State);

    // The settings file holds markers and no password in any form; the
    // empty password needs no entry.
    QCOMPARE(stored(*t.State, 1), kKeyringMarker);
    QCOMPARE(stored(*t.State, 2), kKeyringMarker);
    QCOMPARE(stored(*t.State, 3), QString());
    const QByteArray file = ReadWholeFile(t.State->Paths.SettingsFile);
    for (const QString& password : {QString("pw;Home=1"), QString("Pässwörd€")}) {
        QVERIFY(!file.contains(password.toUtf8()));
        QVERIFY(!file.contains(EncodePassword(password).toLatin1()));
    }
    QCOMPARE(*keyring,
             (FakePasswordVault::Keyring{{"user-Home@home.example.org:110", "pw;Home=1"},
                                         {"user-Work@work.example.org:110", "Pässwörd€"}}));
    // Neither form of stored password can be taken for the marker.
    QVERIFY(!IsKeyringMarker(EncodePassword(kKeyringMarker)));
    QVERIFY(std::any_of(kKeyringMarker.cbegin(), kKeyringMarker.cend(),
                        [](QChar c) { return c.unicode() > 0xFF; }));

    auto again = restart(t, keyring);
    QCOMPARE(again->AccountCount(), qint16(3));
    QCOMPARE(again->Account(1).Password, QString("pw;Home=1"));
    QCOMPARE(again->Account(2).Password, QString("Pässwörd€"));
    QCOMPARE(again->Account(3).Password, QString());
    for (int n = 1; n <= 3; ++n)
        QCOMPARE(again->Account(n).PasswordProblem, QString());

    // A save with nothing changed asks the keyring nothing more.
    auto& vault = static_cast<FakePasswordVault&>(*again->Vault);
    vault.Calls.clear();
    SaveAccounts(*again);
    QCOMPARE(vault.Calls, QStringList());
    QVERIFY(!MovePasswordsAsChosen(*again));
}

void TestKeyringPasswords::withoutKeyringPasswordsStayInSettingsFile_data() {
    QTest::addColumn<QString>("keyring");
    QTest::addColumn<QStringList>("forms"); // "marker" or "encoded", per account
    QTest::newRow("no keyring") << "none" << QStringList{"encoded", "encoded"};
    QTest::newRow("keyring does not answer") << "silent" << QStringList{"encoded", "encoded"};
    QTest::newRow("keyring stops answering part-way")
        << "one write" << QStringList{"marker", "encoded"};
    QTest::newRow("option off") << "option off" << QStringList{"encoded", "encoded"};
}

void TestKeyringPasswords::withoutKeyringPasswordsStayInSettingsFile() {
    QFETCH(QString, keyring);
    QFETCH(QStringList, forms);
    TempState t;
    auto entries = std::make_shared<FakePasswordVault::Keyring>();
    if (keyring != "none") {
        FakePasswordVault& vault = attachVault(*t.State, entries);
        vault.Answering = keyring != "silent";
        vault.WritesLeft = keyring == "one write" ? 1 : -1;
    }
    t.State->AppSettings.Keyring = keyring != "option off";
    t.State->Accounts = {account("Home", "pw-home"), account("Work", "pw-work")};
    SaveAccounts(*t.State);

    for (int n = 1; n <= 2; ++n) {
        const QString expected = forms[n - 1] == "marker"
                                     ? kKeyringMarker
                                     : EncodePassword(t.State->Account(n).Password);
        QCOMPARE(stored(*t.State, n), expected);
    }
    QCOMPARE(entries->size(), qsizetype(forms.count("marker")));
    auto again = restart(t, entries);
    QCOMPARE(again->Account(1).Password, QString("pw-home"));
    QCOMPARE(again->Account(2).Password, QString("pw-work"));
}

void TestKeyringPasswords::optionMovesPasswordsBothWays() {
    TempState t;
    auto keyring = std::make_shared<FakePasswordVault::Keyring>();
    // A settings file of a run without the keyring.
    t.State->AppSettings.Keyring = false;
    t.State->Accounts = {account("Home", "pw-home"), account("Work", "pw-work")};
    SaveAccounts(*t.State);
    QCOMPARE(stored(*t.State, 1), EncodePassword("pw-home"));

    // On: the next start moves the passwords into the keyring.
    auto on = restart(t, keyring);
    QVERIFY(MovePasswordsAsChosen(*on));
    QCOMPARE(stored(*on, 1), kKeyringMarker);
    QCOMPARE(stored(*on, 2), kKeyringMarker);
    QCOMPARE(keyring->size(), qsizetype(2));

    // Off again: back into the settings file, and the entries go.
    auto off = restart(t, keyring);
    off->AppSettings.Keyring = false;
    QVERIFY(MovePasswordsAsChosen(*off));
    QCOMPARE(stored(*off, 1), EncodePassword("pw-home"));
    QCOMPARE(stored(*off, 2), EncodePassword("pw-work"));
    QVERIFY(keyring->isEmpty());
    QVERIFY(!MovePasswordsAsChosen(*off));

    auto plain = restart(t, nullptr);
    QCOMPARE(plain->Account(1).Password, QString("pw-home"));
    QCOMPARE(plain->Account(2).Password, QString("pw-work"));
}

void TestKeyringPasswords::unreadableEntry_data() {
    QTest::addColumn<QString>("keyring");
    QTest::addColumn<QString>("reason"); // the start of the tool-tip reason
    QTest::newRow("entry missing") << "answering" << KeyringProblem::Missing;
    QTest::newRow("keyring does not answer") << "silent" << KeyringProblem::NoAnswer;
    QTest::newRow("no keyring") << "none" << KeyringProblem::NoAnswer;
}

void TestKeyringPasswords::unreadableEntry() {
    QFETCH(QString, keyring);
    QFETCH(QString, reason);
    TempState t;
    auto entries = std::make_shared<FakePasswordVault::Keyring>();
    attachVault(*t.State, entries);
    t.State->Accounts = {account("Home", "pw-home"), account("Work", "pw-work")};
    SaveAccounts(*t.State);
    entries->remove("user-Home@home.example.org:110");

    auto again = t.Reopen();
    if (keyring != "none")
        attachVault(*again,
                    keyring == "silent" ? std::make_shared<FakePasswordVault::Keyring>() : entries)
            .Answering = keyring != "silent";
    LoadAccounts(*again);
    const MailAccount& home = again->Account(1);
    QCOMPARE(home.Password, QString());
    QVERIFY2(home.PasswordProblem.startsWith(reason), qPrintable(home.PasswordProblem));
    QCOMPARE(again->Account(2).PasswordProblem.isEmpty(), keyring == "answering");

    // Saves keep the marker: the password may be in the keyring another time.
    QVERIFY(!MovePasswordsAsChosen(*again));
    again->AppSettings.Keyring = false;
    SaveAccounts(*again);
    QCOMPARE(stored(*again, 1), kKeyringMarker);

    // A new password typed for the account ends the problem.
    again->AppSettings.Keyring = true;
    again->Account(1).Password = "pw-new";
    SaveAccounts(*again);
    QCOMPARE(again->Account(1).PasswordProblem, QString());
    auto third = restart(t, entries);
    QCOMPARE(third->Account(1).Password, QString("pw-new"));
    QCOMPARE(third->Account(1).PasswordProblem, QString());
}

void TestKeyringPasswords::entriesFollowAccounts() {
    TempState t;
    auto keyring = std::make_shared<FakePasswordVault::Keyring>();
    attachVault(*t.State, keyring);
    t.State->Accounts = {account("A", "pw-a"), account("B", "pw-b"), account("C", "pw-c")};
    SaveAccounts(*t.State);
    QCOMPARE(keyring->size(), qsizetype(3));

    auto again = restart(t, keyring);
    // Deleting B takes its entry; the others keep theirs through the move down.
    again->Accounts.removeAt(1);
    SaveAccounts(*again);
    QCOMPARE(keyring->keys().contains("user-B@b.example.org:110"), false);
    QCOMPARE(keyring->size(), qsizetype(2));
    // A new user name moves the password to the new entry.
    again->Account(1).User = "renamed";
    SaveAccounts(*again);
    QCOMPARE(keyring->value("renamed@a.example.org:110"), QString("pw-a"));
    QVERIFY(!keyring->contains("user-A@a.example.org:110"));

    auto third = restart(t, keyring);
    QCOMPARE(third->Account(1).Password, QString("pw-a"));
    QCOMPARE(third->Account(2).Password, QString("pw-c"));
}

void TestKeyringPasswords::sameMailboxTwiceKeepsBothPasswords() {
    TempState t;
    auto keyring = std::make_shared<FakePasswordVault::Keyring>();
    attachVault(*t.State, keyring);
    MailAccount second = account("Home", "other");
    second.Title = "Home again";
    t.State->Accounts = {account("Home", "pw-home"), second, account("Home", "pw-home")};
    t.State->Account(3).Title = "Home third";
    SaveAccounts(*t.State);
    // The same password shares the entry; another one stays in the file.
    QCOMPARE(stored(*t.State, 1), kKeyringMarker);
    QCOMPARE(stored(*t.State, 2), EncodePassword("other"));
    QCOMPARE(stored(*t.State, 3), kKeyringMarker);

    auto again = restart(t, keyring);
    QCOMPARE(again->Account(1).Password, QString("pw-home"));
    QCOMPARE(again->Account(2).Password, QString("other"));
    QCOMPARE(again->Account(3).Password, QString("pw-home"));
}

QTEST_GUILESS_MAIN(TestKeyringPasswords)
#include "test_keyring_passwords.moc"
