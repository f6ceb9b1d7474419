#include "records/account_store.h"
#include "records/password_codec.h"
#include "support/sample_account.h"
#include "support/temp_state.h"
#include "support/fail_on_warning.h"

#include <QSet>
#include <QSettings>
#include <QtTest>

class TestAccountStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void passwordExamples();
    void everyByteRoundTripsThroughCodec();
    void awkwardPasswordsRoundTripThroughFile();
    void legacyFormChosenByCharacterRange_data();
    void legacyFormChosenByCharacterRange();
    void saveLoadRoundTrip();
    void deleteInTheMiddleLeavesStaleKeys();
    void deletingLastAccountLeavesEmptyList();
    void deletedAccountsLeaveNoPassword_data();
    void deletedAccountsLeaveNoPassword();
    void hostileValues_data();
    void hostileValues();
    void nodeKeysUniqueAndFindable();
    void largestListGetsEveryKeyOnce();
};

static MailAccount account(const QString& title, const QString& password = "secret") {
    return SampleAccount(title, password);
}

void TestAccountStore::passwordExamples() {
    QCOMPARE(EncodePassword("abc"), QString("bdqW"));
    QCOMPARE(EncodePassword("a"), QString("b["));
    QCOMPARE(EncodePassword(""), QString());
    QCOMPARE(DecodePassword("bdqW"), QString("abc"));
    QCOMPARE(DecodePassword("b["), QString("a"));
    QCOMPARE(DecodePassword("b"), QString());
    QCOMPARE(DecodePassword(""), QString());
}

void TestAccountStore::everyByteRoundTripsThroughCodec() {
    QByteArray all;
    for (int c = 0; c < 256; ++c)
        all.append(char(c));
    // Every length modulo 3 and every byte value in every position of a group.
    for (int shift = 0; shift < 3; ++shift) {
        const QByteArray bytes = all.mid(shift) + all.left(shift);
        for (int len : {1, 2, 3, 4, 5, 256}) {
            const QByteArray part = bytes.left(len);
            const QString stored = EncodePasswordBytes(part);
            QCOMPARE(stored.size(), (4 * len + 2) / 3);
            QVERIFY(!IsLegacyPasswordForm(stored));
            QCOMPARE(DecodePasswordBytes(stored), part);
        }
    }
    // Bytes that are not UTF-8 come back as Latin-1 characters.
    QCOMPARE(DecodePassword(EncodePasswordBytes("caf\xe9")), QString::fromLatin1("caf\xe9"));
}

void TestAccountStore::awkwardPasswordsRoundTripThroughFile() {
    const QStringList passwords = {";",     "=",   "\\",          "[",   "]",  "#x",
                                   "\"q\"", "'s'", " both ends ", "a,b", "@x", "Pässwörd€",
                                   "東京📅", "",    "p;w=r\\d[]#"};
    TempState t;
    for (int i = 0; i < passwords.size(); ++i)
        t.State->Accounts.append(account(QString("A%1").arg(i), passwords[i]));
    SaveAccounts(*t.State);
    auto reopened = t.Reopen();
    LoadAccounts(*reopened);
    QCOMPARE(reopened->AccountCount(), qint16(passwords.size()));
    for (int i = 0; i < passwords.size(); ++i)
        QCOMPARE(reopened->Account(i + 1).Password, passwords[i]);
}

// Stored texts and the passwords they stand for, worked out by hand: the
// older keyed form (key "Larkwatch") for any character outside ";" to "z".
void TestAccountStore::legacyFormChosenByCharacterRange_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("password");
    QTest::newRow("current form") << QString("bdqW") << QString("abc");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("bounds ; and z") << QString(";z") << QString(QChar(0xfc));
    QTest::newRow("older form") << QString("Dr$e-1GCVe)%") << QString("BWr2drgd1QsO");
    QTest::newRow("digit") << QString("bd1W") << QString("hQ\x07,");
    QTest::newRow("blank") << QString("bd W") << QString("hQv,");
    QTest::newRow("above z") << QString("bd{W") << QString("hQQ,");
}

void TestAccountStore::legacyFormChosenByCharacterRange() {
    QFETCH(QString, stored);
    TempState t;
    SettingsStore& s = t.State->Store;
    s.WriteSetting("Accounts", "Total", "1");
    s.WriteSetting("Accounts", "Password1", stored);
    s.WriteSetting("Accounts", "Port1", "110");
    s.WriteSetting("Accounts", "Disabled1", "False");
    LoadAccounts(*t.State);
    QTEST(t.State->Account(1).Password, "password");
}

void TestAccountStore::saveLoadRoundTrip() {
    TempState t;
    MailAccount a = account("Home");
    a.Port = 995;
    a.Disabled = true;
    a.Security = "TLS";
    a.CertSHA256 = "ab12";
    MailAccount b = account("Work");
    b.Security = "STARTTLS";
    t.State->Accounts = {a, b};
    SaveAccounts(*t.State);

    QSettings raw(t.State->Paths.SettingsFile, QSettings::IniFormat);
    QCOMPARE(raw.value("Accounts/Total").toString(), QString("2"));
    QCOMPARE(raw.value("Accounts/Disabled1").toString(), QString("True"));
    QCOMPARE(raw.value("Accounts/Port1").toString(), QString("995"));
    QCOMPARE(raw.value("Accounts/Password1").toString(), EncodePassword("secret"));

    auto reopened = t.Reopen();
    LoadAccounts(*reopened);
    QCOMPARE(reopened->AccountCount(), qint16(2));
    for (int n = 1; n <= 2; ++n) {
        MailAccount loaded = reopened->Account(n);
        QVERIFY(loaded.NodeKey.startsWith('P'));
        loaded.NodeKey.clear();
        QCOMPARE(loaded, t.State->Account(n));
    }
}

void TestAccountStore::deleteInTheMiddleLeavesStaleKeys() {
    TempState t;
    t.State->Accounts = {account("One"), account("Two"), account("Three")};
    SaveAccounts(*t.State);
    t.State->Accounts.removeAt(1);
    SaveAccounts(*t.State);
    QSettings raw(t.State->Paths.SettingsFile, QSettings::IniFormat);
    QCOMPARE(raw.value("Accounts/Total").toString(), QString("2"));
    QCOMPARE(raw.value("Accounts/Title2").toString(), QString("Three"));
    QCOMPARE(raw.value("Accounts/Title3").toString(), QString("Three")); // left behind
    auto reopened = t.Reopen();
    LoadAccounts(*reopened);
    QCOMPARE(reopened->AccountCount(), qint16(2));
    QCOMPARE(reopened->Account(1).Title, QString("One"));
    QCOMPARE(reopened->Account(2).Title, QString("Three"));
}

void TestAccountStore::deletingLastAccountLeavesEmptyList() {
    TempState t;
    t.State->Accounts = {account("Only")};
    SaveAccounts(*t.State);
    t.State->Accounts.clear();
    SaveAccounts(*t.State);
    QSettings raw(t.State->Paths.SettingsFile, QSettings::IniFormat);
    QCOMPARE(raw.value("Accounts/Total").toString(), QString("0"));
    QVERIFY(raw.contains("Accounts/Title1"));
    auto reopened = t.Reopen();
    reopened->Accounts = {account("stale in memory")};
    LoadAccounts(*reopened);
    QCOMPARE(reopened->AccountCount(), qint16(0));
}

// The keys of positions beyond the count stay, but no password in them: the
// scrambled form is easily read back.
void TestAccountStore::deletedAccountsLeaveNoPassword_data() {
    QTest::addColumn<QList<int>>("counts"); // of the lists saved one after another
    QTest::newRow("one of three") << QList<int>{3, 2};
    QTest::newRow("the only one") << QList<int>{1, 0};
    QTest::newRow("two steps down") << QList<int>{4, 3, 1};
    QTest::newRow("deleted, then one added") << QList<int>{3, 1, 2};
}

void TestAccountStore::deletedAccountsLeaveNoPassword() {
    QFETCH(QList<int>, counts);
    TempState t;
    for (int count : counts) {
        t.State->Accounts.clear();
        for (int n = 1; n <= count; ++n)
            t.State->Accounts.append(account(QString("A%1").arg(n), QString("pw-%1").arg(n)));
        SaveAccounts(*t.State);
    }
    const int count = counts.last();
    const int highest = *std::max_element(counts.cbegin(), counts.cend());
    QSettings raw(t.State->Paths.SettingsFile, QSettings::IniFormat);
    for (int n = 1; n <= highest; ++n) {
        const QString position = QString::number(n);
        QCOMPARE(raw.value("Accounts/Title" + position).toString(), "A" + position);
        QCOMPARE(raw.value("Accounts/Password" + position).toString(),
                 n <= count ? EncodePassword("pw-" + position) : QString());
    }
    auto reopened = t.Reopen();
    LoadAccounts(*reopened);
    QCOMPARE(int(reopened->AccountCount()), count);
}

void TestAccountStore::hostileValues_data() {
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("disabled");
    QTest::addColumn<QString>("security");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("expectedPort");
    QTest::addColumn<bool>("expectedDisabled");
    QTest::addColumn<QString>("expectedSecurity");
    QTest::newRow("good values") << "1"
                                 << "995"
                                 << "False"
                                 << "" << 1 << 995 << false << "TLS";
    QTest::newRow("port 995 with explicit STARTTLS")
        << "1"
        << "995"
        << "0"
        << "STARTTLS" << 1 << 995 << false << "STARTTLS";
    QTest::newRow("missing port and flag") << "1"
                                           << ""
                                           << ""
                                           << "" << 1 << 110 << false << "None";
    QTest::newRow("garbage port and flag") << "1"
                                           << "pop"
                                           << "perhaps"
                                           << "bogus" << 1 << 110 << false << "None";
    QTest::newRow("port out of range") << "1"
                                       << "70000"
                                       << "-1"
                                       << "" << 1 << 110 << true << "None";
    QTest::newRow("total not a number") << "many"
                                        << "110"
                                        << "0"
                                        << "" << 0 << 0 << false << "";
    QTest::newRow("total negative") << "-2"
                                    << "110"
                                    << "0"
                                    << "" << 0 << 0 << false << "";
    QTest::newRow("total too big") << "32767"
                                   << "110"
                                   << "0"
                                   << "" << 0 << 0 << false << "";
    QTest::newRow("total fractional") << "1.5"
                                      << "110"
                                      << "0"
                                      << "" << 0 << 0 << false << "";
}

void TestAccountStore::hostileValues() {
    QFETCH(QString, total);
    QFETCH(QString, port);
    QFETCH(QString, disabled);
    QFETCH(QString, security);
    QFETCH(int, count);
    TempState t;
    SettingsStore& s = t.State->Store;
    s.WriteSetting("Accounts", "Total", total);
    s.WriteSetting("Accounts", "Title1", "Home");
    if (!port.isEmpty())
        s.WriteSetting("Accounts", "Port1", port);
    if (!disabled.isEmpty())
        s.WriteSetting("Accounts", "Disabled1", disabled);
    if (!security.isEmpty())
        s.WriteSetting("Accounts", "Security1", security);
    LoadAccounts(*t.State);
    QCOMPARE(int(t.State->AccountCount()), count);
    if (count == 1) {
        QTEST(int(t.State->Account(1).Port), "expectedPort");
        QTEST(t.State->Account(1).Disabled, "expectedDisabled");
        QTEST(t.State->Account(1).Security, "expectedSecurity");
        QCOMPARE(t.State->Account(1).Password, QString());
    }
}

void TestAccountStore::nodeKeysUniqueAndFindable() {
    TempState t;
    for (int i = 0; i < 300; ++i)
        t.State->Accounts.append(account(QString("A%1").arg(i)));
    SaveAccounts(*t.State);
    auto reopened = t.Reopen();
    reopened->Random.seed(1);
    LoadAccounts(*reopened);
    QSet<QString> keys;
    for (int n = 1; n <= reopened->AccountCount(); ++n) {
        const QString key = reopened->Account(n).NodeKey;
        QVERIFY(QRegularExpression("^P([1-9][0-9]{0,4})$").match(key).hasMatch());
        QVERIFY(key.mid(1).toInt() <= 32766);
        keys.insert(key);
        QCOMPARE(FindAccountByKey(*reopened, key), qint16(n));
    }
    QCOMPARE(keys.size(), 300);
    const QString first = reopened->Account(1).NodeKey;
    QCOMPARE(FindAccountByKey(*reopened, "C" + first.mid(1)), qint16(0));
    QCOMPARE(FindAccountByKey(*reopened, "P0"), qint16(0));
    AppState empty(StatePaths::Under(t.Dir.path() + "/empty"));
    QCOMPARE(FindAccountByKey(empty, first), qint16(0));
}

// The largest list takes every key there is, loaded in about the time per
// account a short list takes (keys drawn at random and compared with every
// account took minutes here), and a full list has no key to give.
void TestAccountStore::largestListGetsEveryKeyOnce() {
    TempState t;
    for (int n = 1; n <= kMaxAccounts; ++n)
        t.State->Accounts.append(account(QString("A%1").arg(n)));
    SaveAccounts(*t.State);
    auto reopened = t.Reopen();
    LoadAccounts(*reopened);
    QCOMPARE(int(reopened->AccountCount()), kMaxAccounts);
    QSet<QString> keys;
    for (const MailAccount& a : reopened->Accounts)
        keys.insert(a.NodeKey);
    QSet<QString> every;
    for (int number = 1; number <= kMaxAccounts; ++number)
        every.insert("P" + QString::number(number));
    QCOMPARE(keys, every);
    QCOMPARE(NewAccountKey(*reopened), QString()); // none is left

    // A deleted account's key is the one free key.
    const QString freed = reopened->Account(4711).NodeKey;
    reopened->Accounts.removeAt(4710);
    QCOMPARE(NewAccountKey(*reopened), freed);
}

QTEST_GUILESS_MAIN(TestAccountStore)
#include "test_account_store.moc"
