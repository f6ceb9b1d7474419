#include "engine/oauth_access.h"
#include "records/account_store.h"
#include "support/fail_on_warning.h"
#include "support/fake_auth_server.h"
#include "support/temp_state.h"
#include "tree/node_texts.h"
#include "engine_rig.h"

#include <QTest>

// Checks of OAuth2 accounts: the access token taken or refreshed before the
// log-on, and each way that fails, against a fake POP3 server over TLS that
// asks the fake authorization server whether a token is good.
class TestOAuthCheck : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void check_data();
    void check();
};

void TestOAuthCheck::check_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("firstText");
    QTest::addColumn<QString>("reasonStart");
    QTest::addColumn<int>("refreshesAfterTwoPasses");
    QTest::addColumn<bool>("tokenKept");

    const QString listed = QStringLiteral("Outlook --- 1 message --- Totaling 126 bytes.");
    QTest::newRow("signed in: the held access token serves the second pass")
        << "signed in" << listed << "" << 1 << true;
    QTest::newRow("expiring within a minute: one refresh in each pass")
        << "expiring" << listed << "" << 2 << true;
    QTest::newRow("a new refresh token replaces the stored one")
        << "rotated" << listed << "" << 1 << true;
    QTest::newRow("not signed in yet") << "no token"
                                       << "Outlook --- Sign-in needed"
                                       << "Not signed in" << 0 << false;
    QTest::newRow("refresh token revoked")
        << "revoked"
        << "Outlook --- Sign-in needed"
        << "The sign-in server refused: invalid_grant" << 2 << true;
    QTest::newRow("token endpoint down: the sign-in is kept")
        << "503"
        << "Outlook --- Error Connecting!"
        << "The sign-in server answered HTTP 503" << 0 << true;
    QTest::newRow("token for another user refused by the server")
        << "other user"
        << "Outlook --- Bad user ID or Password!"
        << "Login refused: Authentication failed." << 2 << true;
    QTest::newRow("no TLS: refused before connecting")
        << "no TLS"
        << "Outlook --- Error Connecting!"
        << "OAuth2 needs a TLS connection" << 0 << true;
}

void TestOAuthCheck::check() {
    QFETCH(QString, situation);
    FakeAuthServer auth;
    QVERIFY(auth.Listen());
    FakePop3Server pop;
    QVERIFY(pop.Listen());
    pop.ImplicitTls = true;
    pop.SaslMechanisms = {"PLAIN", "XOAUTH2"};
    pop.AddMessage(NumberedMail("box", 1), "uid-1");
    pop.AcceptToken = [&](const QByteArray& user, const QByteArray& token) {
        return auth.AccessTokens.contains(QString::fromLatin1(token)) && auth.User == user;
    };

    TempState t;
    MailAccount account =
        FakeServerAccount(QStringLiteral("Outlook"), QStringLiteral("P1"), pop.Port());
    account.Password.clear();
    account.Security = situation == QLatin1String("no TLS") ? Security::None : Security::Tls;
    account.CertSHA256 = pop.CertificateSha256();
    account.Auth = SignIn::OAuth2;
    account.OAuth.Provider = OAuthProviderName::Custom;
    account.OAuth.AuthUrl = auth.Url(QStringLiteral("authorize"));
    account.OAuth.TokenUrl = auth.Url(QStringLiteral("token"));
    account.OAuth.ClientId = auth.ClientId;
    const QString refresh = QStringLiteral("refresh-stored");
    auth.RefreshTokens.insert(refresh);
    if (situation != QLatin1String("no token"))
        account.OAuthToken = refresh;
    if (situation == QLatin1String("expiring"))
        auth.ExpiresIn = 30;
    else if (situation == QLatin1String("revoked"))
        auth.Revoke(refresh);
    else if (situation == QLatin1String("503"))
        auth.TokenStatus = 503;
    else if (situation == QLatin1String("other user"))
        auth.User = "bob";
    t.State->Accounts = {account};
    SaveAccounts(*t.State);

    EngineRig rig(*t.State);
    if (situation == QLatin1String("rotated")) {
        // The provider hands out a new refresh token with the access token.
        auth.TokenStatus = 200;
        auth.RefreshTokens.insert(QStringLiteral("refresh-new"));
        auth.AccessTokens.insert(QStringLiteral("access-new"), QStringLiteral("refresh-new"));
        auth.TokenBody =
            R"({"access_token":"access-new","refresh_token":"refresh-new","expires_in":3600})";
    }
    rig.RunPass();
    QTEST(rig.tree.Text(QStringLiteral("P1")), "firstText");
    QFETCH(QString, reasonStart);
    const QString reason = rig.engine.AccountErrors.value(QStringLiteral("P1"));
    QVERIFY2(reasonStart.isEmpty() ? reason.isEmpty() : reason.startsWith(reasonStart),
             qPrintable(reason));
    rig.RunPass();
    QTEST(auth.Refreshes + (situation == QLatin1String("rotated") ? 1 : 0),
          "refreshesAfterTwoPasses");
    if (situation == QLatin1String("no TLS"))
        QVERIFY(pop.Transcript.isEmpty());

    // What the settings file holds after the passes.
    auto again = t.Reopen();
    LoadAccounts(*again);
    const QString expectedToken =
        situation == QLatin1String("rotated") ? QStringLiteral("refresh-new") : refresh;
    QFETCH(bool, tokenKept);
    QCOMPARE(again->Account(1).OAuthToken, tokenKept ? expectedToken : QString());
}

QTEST_GUILESS_MAIN(TestOAuthCheck)
#include "test_oauth_check.moc"
