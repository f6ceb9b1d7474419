#include "app/sign_in_mode.h"
#include "engine/pop/pop_client.h"
#include "engine/pop/pop_wait.h"
#include "records/account_store.h"
#include "records/app_state.h"
#include "support/dovecot_fixture.h"
#include "support/fail_on_warning.h"
#include "support/fake_auth_server.h"
#include "support/file_contents.h"
#include "support/temp_state.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

// OAuth2 end to end as a user meets it: `larkwatch --sign-in` and
// `larkwatch --check --json` (the real program) against the test Dovecot,
// whose second passdb asks the fake authorization server about each token.
class TestOAuthEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void initTestCase();
    void signInCheckRevokeAndMend();
    void signInRefusals_data();
    void signInRefusals();
    void tokenForAnotherUserIsRefused();
    void bearerLogOn_data();
    void bearerLogOn();

private:
    struct Run {
        int exitCode = -1;
        QString out;
    };
    Run Larkwatch(const QStringList& arguments);
    MailAccount BobWithOAuth() const;
    QString Value(const QString& key) const { return m_fixture.Value(key); }

    DovecotFixture m_fixture;
    TempState m_temp;
    FakeAuthServer m_auth;
    QNetworkAccessManager m_network;
};

void TestOAuthEndToEnd::initTestCase() {
    m_fixture = DovecotFixture::Load();
    LARKWATCH_REQUIRE_DOVECOT(m_fixture);
    const QString refilled = m_fixture.RefillMailbox(QStringLiteral("bob"));
    QVERIFY2(refilled.isEmpty(), qPrintable(refilled));
    QVERIFY(m_auth.Listen(quint16(Value(QStringLiteral("OAUTH_PORT")).toInt())));
    m_auth.User = "bob";
    // The browser: xdg-open first on the PATH, following the redirect.
    const QString bin = m_temp.Dir.path() + QStringLiteral("/bin");
    QVERIFY(QDir().mkpath(bin));
    QFile opener(bin + QStringLiteral("/xdg-open"));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nexec curl -s -o /dev/null -L --max-time 20 \"$1\"\n");
    opener.close();
    opener.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

MailAccount TestOAuthEndToEnd::BobWithOAuth() const {
    MailAccount bob;
    bob.Title = QStringLiteral("Bob");
    bob.Host = Value(QStringLiteral("HOST"));
    bob.Port = Value(QStringLiteral("POP3S_PORT")).toInt();
    bob.Security = Security::Tls;
    bob.CertSHA256 = Value(QStringLiteral("CERT_SHA256"));
    bob.User = QStringLiteral("bob");
    bob.Auth = SignIn::OAuth2;
    bob.OAuth.Provider = OAuthProviderName::Custom;
    bob.OAuth.AuthUrl = m_auth.Url(QStringLiteral("authorize"));
    bob.OAuth.TokenUrl = m_auth.Url(QStringLiteral("token"));
    bob.OAuth.ClientId = m_auth.ClientId;
    return bob;
}

TestOAuthEndToEnd::Run TestOAuthEndToEnd::Larkwatch(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString root = m_temp.Dir.path();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
    env.insert(QStringLiteral("PATH"),
               root + QStringLiteral("/bin:") + env.value(QStringLiteral("PATH")));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(env);
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral(LARKWATCH_BINARY), arguments);
    Run run;
    // The event loop runs meanwhile: the fake authorization server answers
    // the program and Dovecot.
    if (!finished.wait(60000)) {
        process.kill();
        process.waitForFinished(5000);
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    return run;
}

void TestOAuthEndToEnd::signInCheckRevokeAndMend() {
    AppState& s = *m_temp.State;
    s.Accounts = {BobWithOAuth()};
    SaveAccounts(s);

    // Not signed in yet.
    Run check = Larkwatch({QStringLiteral("--check")});
    QCOMPARE(check.exitCode, 1);
    QCOMPARE(check.out, QStringLiteral("Bob --- Sign-in needed\n"));

    const Run signIn = Larkwatch({QStringLiteral("--sign-in"), QStringLiteral("Bob")});
    QVERIFY2(signIn.exitCode == 0, qPrintable(signIn.out));
    QVERIFY(
        signIn.out.startsWith(QStringLiteral("Open this address in your browser to sign in:\n") +
                              m_auth.Url(QStringLiteral("authorize?"))));
    QVERIFY(signIn.out.endsWith(QStringLiteral("Signed in: Bob\n")));
    QCOMPARE(m_auth.CodeExchanges, 1);
    QCOMPARE(m_auth.RefreshTokens.size(), 1);
    const QString refresh = *m_auth.RefreshTokens.cbegin();
    QVERIFY(!ReadWholeFile(s.Paths.SettingsFile).contains(refresh.toUtf8()));

    const int refreshesBefore = m_auth.Refreshes;
    check = Larkwatch({QStringLiteral("--check"), QStringLiteral("--json")});
    QVERIFY2(check.exitCode == 0, qPrintable(check.out));
    const QJsonArray accounts =
        QJsonDocument::fromJson(check.out.toUtf8()).object().value("accounts").toArray();
    QCOMPARE(accounts.size(), 1);
    QCOMPARE(accounts.at(0).toObject().value("messages").toArray().size(),
             Value(QStringLiteral("MESSAGES_bob")).toInt());
    QCOMPARE(m_auth.Refreshes - refreshesBefore, 1); // one pass, one refresh

    // Revoked at the provider: sign in again, and all is well.
    m_auth.Revoke(refresh);
    check = Larkwatch({QStringLiteral("--check")});
    QCOMPARE(check.exitCode, 1);
    QCOMPARE(check.out, QStringLiteral("Bob --- Sign-in needed\n"));
    auto again = m_temp.Reopen();
    QTextStream out(stdout);
    QCOMPARE(RunSignInMode(*again, QStringLiteral("Bob"), out,
                           [this](const QUrl& url) {
                               FollowAuthorization(m_network, url);
                               return true;
                           }),
             0);
    check = Larkwatch({QStringLiteral("--check")});
    QVERIFY2(check.exitCode == 0, qPrintable(check.out));
}

void TestOAuthEndToEnd::signInRefusals_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no such account") << "Nobody"
                                     << ""
                                     << "Not signed in: Nobody: no account has this title\n";
    QTest::newRow("a password account")
        << "Plain"
        << ""
        << "Not signed in: Plain: the account signs in with a password, not OAuth2\n";
    QTest::newRow("OAuth2 without TLS")
        << "Clear"
        << ""
        << "Not signed in: Clear: OAuth2 needs a TLS connection (STARTTLS or TLS)\n";
    QTest::newRow("wrong state")
        << "Bob"
        << "state"
        << "Not signed in: Bob: The browser's answer does not belong to this sign-in (wrong "
           "state)\n";
}

void TestOAuthEndToEnd::signInRefusals() {
    QFETCH(QString, title);
    QFETCH(QString, fault);
    TempState t;
    MailAccount plain = BobWithOAuth();
    plain.Title = QStringLiteral("Plain");
    plain.Auth = SignIn::Password;
    MailAccount clear = BobWithOAuth();
    clear.Title = QStringLiteral("Clear");
    clear.Security = Security::None;
    t.State->Accounts = {BobWithOAuth(), plain, clear};
    SaveAccounts(*t.State);
    m_auth.RedirectState = fault == QLatin1String("state") ? "forged" : "";
    QString printed;
    QTextStream out(&printed);
    const int exitCode = RunSignInMode(*t.Reopen(), title, out, [this](const QUrl& url) {
        FollowAuthorization(m_network, url);
        return true;
    });
    m_auth.RedirectState.clear();
    QCOMPARE(exitCode, 1);
    QFETCH(QString, expected);
    QVERIFY2(printed.endsWith(expected), qPrintable(printed));
    auto after = t.Reopen();
    LoadAccounts(*after);
    QCOMPARE(after->Account(1).OAuthToken, QString());
}

void TestOAuthEndToEnd::tokenForAnotherUserIsRefused() {
    AppState& s = *m_temp.State;
    MailAccount alice = BobWithOAuth();
    alice.Title = QStringLiteral("Alice");
    alice.User = QStringLiteral("alice"); // the provider signs bob in
    const QString refresh = QStringLiteral("refresh-for-bob");
    m_auth.RefreshTokens.insert(refresh);
    alice.OAuthToken = refresh;
    s.Accounts = {alice};
    SaveAccounts(s);
    const Run check = Larkwatch({QStringLiteral("--check"), QStringLiteral("--json")});
    QCOMPARE(check.exitCode, 1);
    const QJsonObject account = QJsonDocument::fromJson(check.out.toUtf8())
                                    .object()
                                    .value("accounts")
                                    .toArray()
                                    .at(0)
                                    .toObject();
    QCOMPARE(account.value("status").toString(),
             QStringLiteral("Alice --- Bad user ID or Password!"));
}

// The POP client's XOAUTH2 against Dovecot itself: a refused token's "+"
// challenge is answered, so the refusal comes at once instead of a hang.
void TestOAuthEndToEnd::bearerLogOn_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("known"); // a token the provider gave out
    QTest::addColumn<QString>("expectedError");
    const QString refused = QStringLiteral(
        R"(Login refused: Authentication failed. ({"status":"401","schemes":"bearer",)"
        R"("scope":"mail"}))");
    QTest::newRow("a good token") << "bob" << true << QString();
    QTest::newRow("an unknown token") << "bob" << false << refused;
    QTest::newRow("another user's token") << "alice" << true << refused;
}

void TestOAuthEndToEnd::bearerLogOn() {
    QFETCH(QString, user);
    QFETCH(bool, known);
    QFETCH(QString, expectedError);
    PopClient client;
    client.ServerHost = Value(QStringLiteral("HOST"));
    client.ServerPort = Value(QStringLiteral("POP3S_PORT")).toInt();
    client.Security = Security::Tls;
    client.CertSHA256 = Value(QStringLiteral("CERT_SHA256"));
    client.UserName = user;
    client.BearerToken = true;
    m_auth.RefreshTokens.insert(QStringLiteral("refresh-direct"));
    client.UserPassword = known ? m_auth.NewAccessToken(QStringLiteral("refresh-direct"))
                                : QStringLiteral("never-given");
    client.Connect();
    QVERIFY(WaitUntilIdle(client, 10000));
    QVERIFY2(client.LogonState() == PopClient::Connected, qPrintable(client.LastError()));
    client.Authenticate();
    QVERIFY(WaitUntilIdle(client, 10000));
    QCOMPARE(client.LastError(), expectedError);
    QCOMPARE(client.LogonState(),
             expectedError.isEmpty() ? PopClient::LoggedOn : PopClient::NotConnected);
}

QTEST_GUILESS_MAIN(TestOAuthEndToEnd)
#include "test_oauth_end_to_end.moc"
