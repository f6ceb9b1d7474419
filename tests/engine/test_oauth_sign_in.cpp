#include "engine/oauth_sign_in.h"
#include "support/fail_on_warning.h"
#include "support/fake_auth_server.h"

#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QUrlQuery>

// The sign-in flow against a fake authorization server, the browser
// replaced by a hook that follows the authorization URL's redirect.
class TestOAuthSignIn : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { FailOnUnexpectedWarnings(); }
    void signIn_data();
    void signIn();
    void authorizationUrl_data();
    void authorizationUrl();
    void onlyOneRedirectIsTaken();
    void givesUpWhenNoAnswerComes();
};

namespace {

OAuthPreset CustomOf(const FakeAuthServer& server) {
    OAuthPreset preset = PresetFor(QStringLiteral("Custom"));
    preset.AuthUrl = server.Url(QStringLiteral("authorize"));
    preset.TokenUrl = server.Url(QStringLiteral("token"));
    preset.Scope = QStringLiteral("mail offline");
    preset.ClientId = server.ClientId;
    return preset;
}

OAuthSignInResult Outcome(QSignalSpy& finished) {
    if (finished.isEmpty() && !finished.wait(10000))
        return {false, {}, {}, 0, QStringLiteral("<no outcome>")};
    return finished.first().first().value<OAuthSignInResult>();
}

} // namespace

void TestOAuthSignIn::signIn_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("expectedReason"); // empty: signed in
    QTest::newRow("signed in") << ""
                               << "";
    QTest::newRow("wrong state")
        << "state"
        << "The browser's answer does not belong to this sign-in (wrong state)";
    QTest::newRow("redirect without a code") << "no code"
                                             << "The browser's answer holds no authorization code";
    QTest::newRow("garbage from the token endpoint")
        << "garbage"
        << "The sign-in server's answer is not understood (HTTP 200)";
    QTest::newRow("answer over 1 MiB") << "huge"
                                       << "The sign-in server's answer is too large";
    QTest::newRow("control character in a token")
        << "control"
        << "The sign-in server's answer holds no usable token";
    QTest::newRow("no refresh token") << "no refresh"
                                      << "The sign-in server gave no refresh token";
    QTest::newRow("token endpoint failing") << "503"
                                            << "The sign-in server answered HTTP 503";
    QTest::newRow("code refused") << "invalid_grant"
                                  << "The sign-in server refused: invalid_grant (bad code)";
}

void TestOAuthSignIn::signIn() {
    QFETCH(QString, fault);
    QFETCH(QString, expectedReason);
    FakeAuthServer server;
    QVERIFY(server.Listen());
    if (fault == QLatin1String("state"))
        server.RedirectState = "forged";
    else if (fault == QLatin1String("no code"))
        server.OmitCode = true;
    else if (fault == QLatin1String("no refresh"))
        server.GiveRefreshToken = false;
    const QHash<QString, std::pair<int, QByteArray>> bodies = {
        {QStringLiteral("garbage"), {200, "<html>not JSON"}},
        {QStringLiteral("huge"),
         {200, R"({"access_token":"a","pad":")" + QByteArray(1100 * 1024, 'x') + "\"}"}},
        {QStringLiteral("control"), {200, R"({"access_token":"a\u0001b","refresh_token":"r"})"}},
        {QStringLiteral("503"), {503, "busy"}},
        {QStringLiteral("invalid_grant"),
         {400, R"({"error":"invalid_grant","error_description":"bad code"})"}},
    };
    if (bodies.contains(fault)) {
        server.TokenStatus = bodies.value(fault).first;
        server.TokenBody = bodies.value(fault).second;
    }

    QNetworkAccessManager network;
    OAuthSignIn flow(network);
    QSignalSpy finished(&flow, &OAuthSignIn::Finished);
    int redirectStatus = -1;
    flow.Start(CustomOf(server), [&](const QUrl& url) {
        FollowAuthorization(network, url, [&](int status) { redirectStatus = status; });
        return true;
    });
    const OAuthSignInResult result = Outcome(finished);
    QCOMPARE(result.Reason, expectedReason);
    QCOMPARE(result.Ok, expectedReason.isEmpty());
    if (result.Ok) {
        QVERIFY(server.RefreshTokens.contains(result.RefreshToken));
        QCOMPARE(result.AccessToken, server.LastAccessToken);
        QCOMPARE(result.ExpiresInSeconds, 3600);
    } else {
        QCOMPARE(result.RefreshToken, QString());
    }
    QCOMPARE(server.PkceFailures, 0);
    // The browser was answered with the short page.
    QTRY_COMPARE(redirectStatus, 200);
    QCOMPARE(finished.size(), 1);
}

void TestOAuthSignIn::authorizationUrl_data() {
    QTest::addColumn<QString>("provider");
    QTest::addColumn<QString>("redirectHost");
    QTest::addColumn<QString>("extra"); // Google's two
    QTest::newRow("Custom") << "Custom"
                            << "127.0.0.1"
                            << "";
    QTest::newRow("Google") << "Google"
                            << "127.0.0.1"
                            << "offline consent";
    QTest::newRow("Microsoft") << "Microsoft"
                               << "localhost"
                               << "";
}

void TestOAuthSignIn::authorizationUrl() {
    QFETCH(QString, provider);
    OAuthPreset preset = PresetFor(provider);
    if (provider == QLatin1String("Custom")) {
        preset.AuthUrl = QStringLiteral("http://127.0.0.1:9/authorize?tenant=a");
        preset.TokenUrl = QStringLiteral("http://127.0.0.1:9/token");
    }
    preset.ClientId = QStringLiteral("client+1");
    QNetworkAccessManager network;
    OAuthSignIn flow(network);
    QUrl opened;
    flow.Start(preset, [&](const QUrl& url) {
        opened = url;
        return true;
    });
    QCOMPARE(opened, flow.AuthorizationUrl());
    const QUrlQuery query(opened);
    auto item = [&](const char* name) {
        return query.queryItemValue(QLatin1String(name), QUrl::FullyDecoded);
    };
    QCOMPARE(item("response_type"), QStringLiteral("code"));
    QCOMPARE(item("client_id"), QStringLiteral("client+1"));
    QCOMPARE(item("code_challenge_method"), QStringLiteral("S256"));
    QCOMPARE(item("code_challenge").size(), 43);
    QVERIFY(item("state").size() >= 32);
    QCOMPARE(item("scope"), preset.Scope);
    QFETCH(QString, redirectHost);
    const QUrl redirect(item("redirect_uri"));
    QCOMPARE(redirect.host(), redirectHost);
    QCOMPARE(redirect.path(), QStringLiteral("/"));
    QCOMPARE(redirect.scheme(), QStringLiteral("http"));
    const QString extra = (item("access_type") + u' ' + item("prompt")).trimmed();
    QTEST(extra, "extra");
    if (provider == QLatin1String("Custom"))
        QCOMPARE(item("tenant"), QStringLiteral("a"));
    // The listener takes connections on loopback only.
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, quint16(redirect.port()));
    QVERIFY(probe.waitForConnected(5000));
    QCOMPARE(probe.peerAddress(), QHostAddress(QHostAddress::LocalHost));
    probe.abort();
    QSignalSpy finished(&flow, &OAuthSignIn::Finished);
    flow.Cancel();
    QCOMPARE(Outcome(finished).Reason, QStringLiteral("Sign-in cancelled"));
}

void TestOAuthSignIn::onlyOneRedirectIsTaken() {
    FakeAuthServer server;
    QVERIFY(server.Listen());
    QNetworkAccessManager network;
    OAuthSignIn flow(network);
    QSignalSpy finished(&flow, &OAuthSignIn::Finished);
    QUrl redirect;
    flow.Start(CustomOf(server), [&](const QUrl& url) {
        redirect =
            QUrl(QUrlQuery(url).queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
        FollowAuthorization(network, url);
        return true;
    });
    QVERIFY(Outcome(finished).Ok);
    // A second redirect finds nobody listening.
    QTcpSocket again;
    again.connectToHost(QHostAddress::LocalHost, quint16(redirect.port()));
    QVERIFY(!again.waitForConnected(2000));
    QCOMPARE(server.CodeExchanges, 1);
}

void TestOAuthSignIn::givesUpWhenNoAnswerComes() {
    QNetworkAccessManager network;
    OAuthSignIn flow(network);
    flow.TimeoutMs = 100;
    QSignalSpy finished(&flow, &OAuthSignIn::Finished);
    OAuthPreset preset = PresetFor(QStringLiteral("Google"));
    preset.ClientId = QStringLiteral("c");
    flow.Start(preset, [](const QUrl&) { return true; });
    QCOMPARE(Outcome(finished).Reason, QStringLiteral("No answer came from the browser in time"));
    QVERIFY(!flow.Running());
}

QTEST_GUILESS_MAIN(TestOAuthSignIn)
#include "test_oauth_sign_in.moc"
