#include "engine/oauth_sign_in.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

namespace {

QByteArray RandomText(int bytes) {
    QByteArray raw(bytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(raw.begin(), raw.end());
    return raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

QString PageText(bool ok, const QString& text) {
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Larkwatch"
                          "</title></head><body><p>%1</p><p>%2</p></body></html>")
        .arg(ok ? QStringLiteral("Larkwatch has the answer and finishes signing in.")
                : QStringLiteral("Larkwatch could not sign in."),
             text.toHtmlEscaped());
}

} // namespace

OAuthSignIn::OAuthSignIn(QNetworkAccessManager& network, QObject* parent)
    : QObject(parent), m_network(network) {
    m_giveUp.setSingleShot(true);
    connect(&m_giveUp, &QTimer::timeout, this,
            [this] { Fail(QStringLiteral("No answer came from the browser in time")); });
}

OAuthSignIn::~OAuthSignIn() = default;

QByteArray OAuthSignIn::NewVerifier() {
    return RandomText(48); // 64 characters
}

QByteArray OAuthSignIn::ChallengeOf(const QByteArray& verifier) {
    return QCryptographicHash::hash(verifier, QCryptographicHash::Sha256)
        .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

void OAuthSignIn::Start(const OAuthPreset& settings, const BrowserOpener& open) {
    if (m_running)
        return;
    m_running = true;
    m_redirectTaken = false;
    m_settings = settings;
    const QUrl authUrl(settings.AuthUrl);
    if (settings.ClientId.isEmpty()) {
        Fail(QStringLiteral("No client id: enter the one registered with the provider"));
        return;
    }
    if (!authUrl.isValid() || authUrl.scheme().isEmpty() || QUrl(settings.TokenUrl).isRelative()) {
        Fail(QStringLiteral("The authorization or token URL is not valid"));
        return;
    }
    auto* listener = new QTcpServer(this);
    m_listener = listener;
    // Loopback only: nobody else on the network may hand in a code.
    if (!listener->listen(QHostAddress::LocalHost, 0)) {
        Fail(QStringLiteral("No loopback port for the browser's answer: ") +
             listener->errorString());
        return;
    }
    connect(listener, &QTcpServer::newConnection, this, &OAuthSignIn::OnConnection);
    m_redirectUri = QUrl(
        QStringLiteral("http://%1:%2/").arg(settings.RedirectHost).arg(listener->serverPort()));
    m_verifier = NewVerifier();
    m_state = QString::fromLatin1(RandomText(24));

    QUrlQuery query(authUrl);
    query.addQueryItem(QStringLiteral("response_type"), QStringLiteral("code"));
    query.addQueryItem(QStringLiteral("client_id"), settings.ClientId);
    query.addQueryItem(QStringLiteral("redirect_uri"), m_redirectUri.toString());
    if (!settings.Scope.isEmpty())
        query.addQueryItem(QStringLiteral("scope"), settings.Scope);
    query.addQueryItem(QStringLiteral("state"), m_state);
    query.addQueryItem(QStringLiteral("code_challenge"),
                       QString::fromLatin1(ChallengeOf(m_verifier)));
    query.addQueryItem(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
    for (const auto& [name, value] : settings.ExtraAuthParameters)
        query.addQueryItem(name, value);
    // Spaces in the scope as %20, "+" as %2B: every server reads them alike.
    m_authorizationUrl = authUrl;
    m_authorizationUrl.setQuery(
        query.query(QUrl::FullyEncoded).replace(QLatin1Char('+'), QLatin1String("%2B")));
    m_giveUp.start(TimeoutMs);
    if (open && !open(m_authorizationUrl)) {
        // Not fatal: the URL may still be opened by hand.
    }
}

void OAuthSignIn::Cancel() {
    Fail(QStringLiteral("Sign-in cancelled"));
}

void OAuthSignIn::OnConnection() {
    while (m_listener && m_listener->hasPendingConnections()) {
        QTcpSocket* socket = m_listener->nextPendingConnection();
        socket->setParent(this);
        if (m_redirectTaken) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnRequestData(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void OAuthSignIn::OnRequestData(QTcpSocket* socket) {
    if (m_redirectTaken || !m_running) {
        socket->abort();
        return;
    }
    // Only the request line matters: "GET /?code=...&state=... HTTP/1.1".
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > MaxRequestBytes) {
            Answer(socket, false, QStringLiteral("The request is too long."));
            m_redirectTaken = true;
            Fail(QStringLiteral("The browser's answer is too long"));
        }
        return;
    }
    const QList<QByteArray> words = socket->readLine(MaxRequestBytes).trimmed().split(' ');
    const QUrl target = m_redirectUri.resolved(QUrl::fromEncoded(words.value(1)));
    if (words.value(0) != "GET" || !target.isValid() || target.path() != QLatin1String("/")) {
        // Not the redirect (a browser asking for its icon): not counted.
        socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    TakeRedirect(socket, target);
}

void OAuthSignIn::TakeRedirect(QTcpSocket* socket, const QUrl& target) {
    // Exactly one redirect: whatever it holds, the listener closes.
    m_redirectTaken = true;
    if (m_listener)
        m_listener->close();
    const QUrlQuery query(target);
    const QString error = query.queryItemValue(QStringLiteral("error"), QUrl::FullyDecoded);
    if (query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded) != m_state) {
        Answer(socket, false,
               QStringLiteral("This answer does not belong to the sign-in under way."));
        Fail(QStringLiteral("The browser's answer does not belong to this sign-in (wrong state)"));
        return;
    }
    if (!error.isEmpty()) {
        const QString reason = QStringLiteral("The provider refused: ") + error.left(100);
        Answer(socket, false, reason);
        Fail(reason);
        return;
    }
    const QString code = query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
    if (code.isEmpty()) {
        Answer(socket, false, QStringLiteral("The answer holds no authorization code."));
        Fail(QStringLiteral("The browser's answer holds no authorization code"));
        return;
    }
    Answer(socket, true, QStringLiteral("You can close this browser tab."));
    QMetaObject::invokeMethod(
        this,
        [this, code] {
            QUrlQuery form;
            form.addQueryItem(QStringLiteral("grant_type"), QStringLiteral("authorization_code"));
            form.addQueryItem(QStringLiteral("code"), code);
            form.addQueryItem(QStringLiteral("redirect_uri"), m_redirectUri.toString());
            form.addQueryItem(QStringLiteral("client_id"), m_settings.ClientId);
            if (!m_settings.ClientSecret.isEmpty())
                form.addQueryItem(QStringLiteral("client_secret"), m_settings.ClientSecret);
            form.addQueryItem(QStringLiteral("code_verifier"), QString::fromLatin1(m_verifier));
            const OAuthTokenAnswer answer =
                PostTokenRequest(m_network, QUrl(m_settings.TokenUrl), form, TokenTimeoutMs);
            if (answer.Result != OAuthTokenAnswer::Outcome::Granted) {
                Fail(answer.Reason);
                return;
            }
            if (answer.RefreshToken.isEmpty()) {
                Fail(QStringLiteral("The sign-in server gave no refresh token"));
                return;
            }
            OAuthSignInResult result;
            result.Ok = true;
            result.RefreshToken = answer.RefreshToken;
            result.AccessToken = answer.AccessToken;
            result.ExpiresInSeconds = answer.ExpiresInSeconds;
            Finish(result);
        },
        Qt::QueuedConnection);
}

void OAuthSignIn::Answer(QTcpSocket* socket, bool ok, const QString& text) {
    const QByteArray page = PageText(ok, text).toUtf8();
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                  "Cache-Control: no-store\r\nConnection: close\r\nContent-Length: " +
                  QByteArray::number(page.size()) + "\r\n\r\n" + page);
    socket->disconnectFromHost();
}

void OAuthSignIn::Fail(const QString& reason) {
    OAuthSignInResult result;
    result.Reason = reason;
    Finish(result);
}

void OAuthSignIn::Finish(const OAuthSignInResult& result) {
    if (!m_running)
        return;
    m_running = false;
    m_giveUp.stop();
    if (m_listener)
        m_listener->close();
    m_verifier.clear();
    QMetaObject::invokeMethod(
        this, [this, result] { Q_EMIT Finished(result); }, Qt::QueuedConnection);
}
