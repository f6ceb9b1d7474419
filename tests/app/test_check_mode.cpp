#include "app/command_line.h"
#include "main_window/single_instance.h"
#include "records/account_store.h"
#include "records/general_options_store.h"
#include "records/keychain_vault.h"
#include "records/keyring_passwords.h"
#include "support/dovecot_fixture.h"
#include "support/temp_state.h"
#include "support/fail_on_warning.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

// `larkwatch --check` as a user runs it: the real program, its own settings and
// data folders, against the test Dovecot.
class TestCheckMode : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void initTestCase();
    void commandLine_data();
    void commandLine();
    void checkPrintsTreeThenJsonTellsNewFromSeen();
    void checkTakesPasswordsFromKeyring();
    void secondInstanceRefused();

private:
    struct Run {
        int exitCode = -1;
        QString out;
        QString err;
    };
    Run Larkwatch(const QStringList& arguments);
    QString Value(const QString& key) const { return m_fixture.Value(key); }
    // The fixture's user bob over TLS, its certificate trusted by fingerprint.
    MailAccount BobOverTls() const {
        MailAccount bob;
        bob.Title = "Bob";
        bob.Host = Value("HOST");
        bob.Port = Value("POP3S_PORT").toInt();
        bob.Security = "TLS";
        bob.CertSHA256 = Value("CERT_SHA256");
        bob.User = "bob";
        bob.Password = Value("PASSWORD_bob");
        return bob;
    }

    DovecotFixture m_fixture;
    TempState m_temp;
};

void TestCheckMode::initTestCase() {
    m_fixture = DovecotFixture::Load();
    LARKWATCH_REQUIRE_DOVECOT(m_fixture);
    // Bob's mailbox as the fixture made it, without the mail an earlier run added.
    const QString refilled = m_fixture.RefillMailbox("bob");
    QVERIFY2(refilled.isEmpty(), qPrintable(refilled));
}

TestCheckMode::Run TestCheckMode::Larkwatch(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString root = m_temp.Dir.path();
    env.insert("XDG_CONFIG_HOME", root + "/config");
    env.insert("XDG_DATA_HOME", root + "/data");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(env);
    process.start(LARKWATCH_BINARY, arguments);
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

void TestCheckMode::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("json");
    using M = CommandLine::Mode;
    QTest::newRow("none") << QStringList{} << int(M::Window) << false;
    QTest::newRow("check") << QStringList{"--check"} << int(M::Check) << false;
    QTest::newRow("check json") << QStringList{"--json", "--check"} << int(M::Check) << true;
    QTest::newRow("json alone") << QStringList{"--json"} << int(M::UsageError) << true;
    QTest::newRow("status") << QStringList{"--status"} << int(M::Status) << false;
    QTest::newRow("status json") << QStringList{"--status", "--json"} << int(M::Status) << true;
    QTest::newRow("check now") << QStringList{"--check-now"} << int(M::CheckNow) << false;
    QTest::newRow("check now json")
        << QStringList{"--check-now", "--json"} << int(M::UsageError) << true;
    QTest::newRow("two at once") << QStringList{"--check", "--status"} << int(M::UsageError)
                                 << false;
    QTest::newRow("unknown") << QStringList{"--check", "--frobnicate"} << int(M::UsageError)
                             << false;
    QTest::newRow("help wins") << QStringList{"--check", "--help"} << int(M::Help) << false;
    QTest::newRow("version") << QStringList{"--version"} << int(M::Version) << false;
    QTest::newRow("sign-in") << QStringList{"--sign-in", "Work mail"} << int(M::SignIn) << false;
    QTest::newRow("sign-in without a title")
        << QStringList{"--sign-in"} << int(M::UsageError) << false;
    QTest::newRow("sign-in with check")
        << QStringList{"--check", "--sign-in", "Work"} << int(M::UsageError) << false;
    QTest::newRow("toolkit option left alone")
        << QStringList{"-platform", "xcb"} << int(M::Window) << false;
}

void TestCheckMode::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(int, mode);
    const CommandLine line = CommandLine::Parse(arguments);
    QCOMPARE(int(line.Run), mode);
    if (line.Run == CommandLine::Mode::Check || line.Run == CommandLine::Mode::Status)
        QTEST(line.Json, "json");
    if (line.Run == CommandLine::Mode::SignIn)
        QCOMPARE(line.SignInTitle, arguments.at(1));
}

static QByteArray message(const QByteArray& subject, const QByteArray& id) {
    return "From: Late Sender <late@example.org>\r\nTo: bob@example.org\r\nSubject: " + subject +
           "\r\nMessage-ID: <" + id +
           "@example.org>\r\nDate: Thu, 10 Dec 2026 10:00:00 +0000\r\n\r\n"
           "Body.\r\n";
}

void TestCheckMode::checkPrintsTreeThenJsonTellsNewFromSeen() {
    AppState& s = *m_temp.State;
    const MailAccount bob = BobOverTls();
    MailAccount wrong = bob;
    wrong.Title = "Wrong";
    wrong.Port = Value("POP3_PORT").toInt();
    wrong.Security = "STARTTLS";
    wrong.Password = "not the password";
    MailAccount off = bob;
    off.Title = "Off";
    off.Disabled = true;
    s.Accounts = {bob, wrong, off};
    SaveAccounts(s);
    s.AppSettings.LogDisabled = false; // written by the Log File dialog; here by hand
    s.Store.WriteSetting("Config", "LogDisabled", "False");
    s.Store.WriteSetting("Config", "LogFilesPath", m_temp.Dir.path() + "/logs/");

    const int count = Value("MESSAGES_bob").toInt();
    QVERIFY(count > 0);
    const Run first = Larkwatch({"--check"});
    QCOMPARE(first.exitCode, 1); // the wrong password
    const QStringList lines = first.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), count + 3);
    QVERIFY2(QRegularExpression(
                 QString("^Bob --- %1 messages --- Totaling [0-9,]+ bytes\\.$").arg(count))
                 .match(lines[0])
                 .hasMatch(),
             qPrintable(lines[0]));
    for (int i = 1; i <= count; ++i)
        QVERIFY2(QRegularExpression(
                     QString("^  #%1 --- [0-9,]+ bytes --- Subject : .+ --- From : .+$").arg(i))
                     .match(lines[i])
                     .hasMatch(),
                 qPrintable(lines[i]));
    QCOMPARE(lines[count + 1], QString("Wrong --- Bad user ID or Password!"));
    QCOMPARE(lines[count + 2], QString("Off--- Disabled."));
    QFile log(m_temp.Dir.path() + "/logs/Master.doc");
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll().count("[Begin Header]\r\n"), count);
    log.close();

    // New mail arrives; the next run tells it from the mail already seen.
    const QString file = m_temp.Dir.path() + "/late.eml";
    QFile late(file);
    QVERIFY(late.open(QIODevice::WriteOnly));
    late.write(message("Late arrival", "late-1"));
    late.close();
    const QString added = m_fixture.AddMessage("bob", file);
    QVERIFY2(added.isEmpty(), qPrintable(added));

    const Run second = Larkwatch({"--check", "--json"});
    QCOMPARE(second.exitCode, 1);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(second.out.toUtf8(), &error);
    QVERIFY2(!doc.isNull(), qPrintable(error.errorString() + ": " + second.out));
    const QJsonArray accounts = doc.object().value("accounts").toArray();
    QCOMPARE(accounts.size(), 3);
    const QJsonObject b = accounts[0].toObject();
    QCOMPARE(b.value("title").toString(), QString("Bob"));
    QVERIFY(b.value("error").isNull());
    const QJsonArray messages = b.value("messages").toArray();
    QCOMPARE(messages.size(), count + 1);
    for (int i = 0; i < count; ++i)
        QCOMPARE(messages[i].toObject().value("state").toString(), QString("seen"));
    const QJsonObject newest = messages[count].toObject();
    QCOMPARE(newest.value("state").toString(), QString("new"));
    QCOMPARE(newest.value("subject").toString(), QString("Late arrival"));
    QCOMPARE(newest.value("from").toString(), QString("Late Sender <late@example.org>"));
    QCOMPARE(newest.value("number").toInt(), count + 1);
    QVERIFY(newest.value("size").toInt() > 0);
    const QJsonObject w = accounts[1].toObject();
    QCOMPARE(w.value("status").toString(), QString("Wrong --- Bad user ID or Password!"));
    QVERIFY2(!w.value("error").toString().isEmpty(), "a failed log-on names its reason");
    QCOMPARE(accounts[2].toObject().value("status").toString(), QString("Off--- Disabled."));

    // Only the new message was added to the mail log.
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll().count("[Begin Header]\r\n"), count + 1);
}

// The test runs on a private bus with a Secret Service of its own
// (private_keyring.sh): the program reads the passwords the settings file
// points at from the same keyring the test wrote them to.
void TestCheckMode::checkTakesPasswordsFromKeyring() {
    AppState& s = *m_temp.State;
    s.Vault = std::make_unique<KeychainVault>();
    const MailAccount bob = BobOverTls();
    MailAccount gone = bob;
    gone.Title = "Gone";
    gone.User = "nobody";
    gone.Password = "lost";
    s.Accounts = {bob, gone};
    SaveAccounts(s);
    QCOMPARE(s.Store.ReadSetting("Accounts", "Password1", QString()), kKeyringMarker);
    QCOMPARE(s.Vault->Remove(KeyringEntryName(gone)), PasswordVault::Outcome::Done);

    const Run run = Larkwatch({"--check", "--json"});
    QCOMPARE(run.exitCode, 1); // Gone cannot log on
    const QJsonDocument doc = QJsonDocument::fromJson(run.out.toUtf8());
    const QJsonArray accounts = doc.object().value("accounts").toArray();
    QCOMPARE(accounts.size(), 2);
    const QJsonObject b = accounts[0].toObject();
    QVERIFY2(b.value("error").isNull(), qPrintable(run.out));
    QVERIFY2(b.value("status").toString().startsWith("Bob --- "), qPrintable(run.out));
    QVERIFY(!b.value("status").toString().endsWith("!"));
    const QJsonObject g = accounts[1].toObject();
    QCOMPARE(g.value("status").toString(), QString("Gone --- Bad user ID or Password!"));
    QCOMPARE(g.value("error").toString(), KeyringProblem::Missing);
}

void TestCheckMode::secondInstanceRefused() {
    // The test and the program share the runtime folder, so this lock is the
    // one the program looks for.
    SingleInstance running;
    QVERIFY(running.TryAcquire());
    const Run run = Larkwatch({"--check"});
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.trimmed(), QString("Larkwatch is already running in the tray!"));
}

QTEST_GUILESS_MAIN(TestCheckMode)
#include "test_check_mode.moc"
