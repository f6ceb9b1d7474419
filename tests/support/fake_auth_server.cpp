#include "support/fake_auth_server.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpSocket>
#include <QUrlQuery>

FakeAuthServer::FakeAuthServer(QObject* parent) : QTcpServer(parent) {}

bool FakeAuthServer::Listen(quint16 port) {
    return listen(QHostAddress::LocalHost, port);
}

QString FakeAuthServer::Url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(serverPort()).arg(path);
}

void FakeAuthServer::Revoke(const QString& refreshToken) {
    RefreshTokens.remove(refreshToken);
    AccessTokens.removeIf([&](auto it) { return it.value() == refreshToken; });
}

QString FakeAuthServer::NewAccessToken(const QString& refreshToken) {
    const QString token = QStringLiteral("access-%1").arg(++m_serial);
    AccessTokens.insert(token, refreshToken);
    LastAccessToken = token;
    return token;
}

void FakeAuthServer::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    socket->setSocketDescriptor(descriptor);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnReadable(socket); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

void FakeAuthServer::OnReadable(QTcpSocket* socket) {
    // Whole requests only: the head, then Content-Length bytes of body.
    QByteArray data = socket->peek(socket->bytesAvailable());
    const qsizetype headEnd = data.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    const QList<QByteArray> lines = data.left(headEnd).split('\n');
    qsizetype length = 0;
    for (const QByteArray& line : lines) {
        if (line.toLower().startsWith("content-length:"))
            length = line.mid(15).trimmed().toLongLong();
    }
    if (data.size() < headEnd + 4 + length)
        return;
    socket->read(headEnd + 4 + length);
    const QList<QByteArray> request = lines.first().trimmed().split(' ');
    Handle(socket, request.value(0),
           QUrl(Url(QString())).resolved(QUrl::fromEncoded(request.value(1))),
           data.mid(headEnd + 4, length));
}

void FakeAuthServer::Respond(QTcpSocket* socket, int status, const QByteArray& body,
                             const QByteArray& extraHeaders) {
    socket->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\n" + extraHeaders +
                  "Content-Type: application/json\r\nConnection: close\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    socket->disconnectFromHost();
}

QByteArray FakeAuthServer::Tokens(const QString& refreshToken, bool withRefresh) {
    QJsonObject answer{{"access_token", NewAccessToken(refreshToken)},
                       {"token_type", "Bearer"},
                       {"expires_in", ExpiresIn}};
    if (withRefresh)
        answer.insert("refresh_token", refreshToken);
    return QJsonDocument(answer).toJson(QJsonDocument::Compact);
}

void FakeAuthServer::Handle(QTcpSocket* socket, const QByteArray& method, const QUrl& target,
                            const QByteArray& body) {
    const QUrlQuery form(QString::fromUtf8(body).replace(u'+', u' '));
    auto value = [&](const char* name) {
        return form.queryItemValue(QLatin1String(name), QUrl::FullyDecoded);
    };
    const QString path = target.path();
    if (method == "GET" && path == QLatin1String("/authorize")) {
        const QUrlQuery query(target);
        auto item = [&](const char* name) {
            return query.queryItemValue(QLatin1String(name), QUrl::FullyDecoded);
        };
        if (item("client_id") != ClientId || item("code_challenge_method") != "S256" ||
            item("code_challenge").isEmpty() || item("response_type") != "code") {
            Respond(socket, 400, R"({"error":"invalid_request"})");
            return;
        }
        const QString code = QStringLiteral("code-%1").arg(++m_serial);
        m_codes.insert(code, Grant{item("code_challenge"), item("redirect_uri")});
        QUrl redirect(item("redirect_uri"));
        QUrlQuery answer;
        if (!OmitCode)
            answer.addQueryItem(QStringLiteral("code"), code);
        answer.addQueryItem(QStringLiteral("state"), RedirectState.isEmpty()
                                                         ? item("state")
                                                         : QString::fromLatin1(RedirectState));
        redirect.setQuery(answer);
        Respond(socket, 302, {}, "Location: " + redirect.toEncoded() + "\r\n");
        return;
    }
    if (method == "POST" && path == QLatin1String("/token")) {
        if (TokenStatus != 0) {
            Respond(socket, TokenStatus, TokenBody);
            return;
        }
        if (value("grant_type") == QLatin1String("authorization_code")) {
            const Grant grant = m_codes.take(value("code"));
            const QString challenge = QString::fromLatin1(
                QCryptographicHash::hash(value("code_verifier").toLatin1(),
                                         QCryptographicHash::Sha256)
                    .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
            if (grant.Challenge.isEmpty() || grant.Challenge != challenge ||
                grant.RedirectUri != value("redirect_uri") || value("client_id") != ClientId) {
                ++PkceFailures;
                Respond(socket, 400, R"({"error":"invalid_grant"})");
                return;
            }
            ++CodeExchanges;
            const QString refresh = QStringLiteral("refresh-%1").arg(++m_serial);
            RefreshTokens.insert(refresh);
            Respond(socket, 200, Tokens(refresh, GiveRefreshToken));
            return;
        }
        if (value("grant_type") == QLatin1String("refresh_token")) {
            ++Refreshes;
            const QString refresh = value("refresh_token");
            if (!RefreshTokens.contains(refresh)) {
                Respond(
                    socket, 400,
                    R"({"error":"invalid_grant","error_description":"Token has been revoked."})");
                return;
            }
            Respond(socket, 200, Tokens(refresh, false));
            return;
        }
        Respond(socket, 400, R"({"error":"unsupported_grant_type"})");
        return;
    }
    if (method == "POST" && path == QLatin1String("/revoke")) {
        Revoke(value("token"));
        Respond(socket, 200, "{}");
        return;
    }
    if (method == "POST" && path == QLatin1String("/introspect")) {
        const bool active = AccessTokens.contains(value("token"));
        Respond(socket, 200,
                active ? R"({"active":true,"email":")" + User + R"("})" : R"({"active":false})");
        return;
    }
    Respond(socket, 404, "{}");
}

void FollowAuthorization(QNetworkAccessManager& network, const QUrl& url,
                         std::function<void(int status)> done) {
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = network.get(request);
    QObject::connect(reply, &QNetworkReply::finished, reply, [&network, reply, done] {
        reply->deleteLater();
        const QUrl location = reply->header(QNetworkRequest::LocationHeader).toUrl();
        if (location.isEmpty()) {
            if (done)
                done(0);
            return;
        }
        QNetworkReply* second = network.get(QNetworkRequest(location));
        QObject::connect(second, &QNetworkReply::finished, second, [second, done] {
            second->deleteLater();
            if (done)
                done(second->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
        });
    });
}
