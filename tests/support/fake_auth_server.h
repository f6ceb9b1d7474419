#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QTcpServer>
#include <QUrl>

class QNetworkAccessManager;
class QTcpSocket;

// An OAuth2 authorization server for tests on 127.0.0.1 and a free port:
//   GET  /authorize   answers 302 to the redirect URI with a code and the state
//   POST /token       authorization_code (with the PKCE check) and refresh_token
//   POST /revoke      token=...: the refresh token and its access tokens go
//   POST /introspect  token=...: {"active":true,"email":USER} or {"active":false}
// Faults on demand. Tokens are "access-N" and "refresh-N".
class FakeAuthServer : public QTcpServer {
    Q_OBJECT
public:
    explicit FakeAuthServer(QObject* parent = nullptr);

    bool Listen(quint16 port = 0);
    QString Url(const QString& path) const; // "http://127.0.0.1:PORT/path"

    QString ClientId = QStringLiteral("larkwatch-test");
    QByteArray User = "ann"; // whom the tokens belong to
    qint64 ExpiresIn = 3600; // of each access token
    bool GiveRefreshToken = true;

    // Faults of /token: an HTTP status and body instead of the answer.
    int TokenStatus = 0; // 0: none
    QByteArray TokenBody;
    // Faults of /authorize.
    QByteArray RedirectState; // sent instead of the client's state
    bool OmitCode = false;

    // What happened.
    int CodeExchanges = 0;
    int Refreshes = 0;
    int PkceFailures = 0;
    QString LastAccessToken;
    QSet<QString> RefreshTokens;          // alive
    QHash<QString, QString> AccessTokens; // alive, by token: its refresh token

    // Revokes a refresh token and the access tokens it gave.
    void Revoke(const QString& refreshToken);
    QString NewAccessToken(const QString& refreshToken);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Grant {
        QString Challenge;
        QString RedirectUri;
    };
    void OnReadable(QTcpSocket* socket);
    void Handle(QTcpSocket* socket, const QByteArray& method, const QUrl& target,
                const QByteArray& body);
    static void Respond(QTcpSocket* socket, int status, const QByteArray& body,
                        const QByteArray& extraHeaders = {});
    QByteArray Tokens(const QString& refreshToken, bool withRefresh);

    QHash<QString, Grant> m_codes;
    int m_serial = 0;
};

// Stands in for the user's browser: fetches the authorization URL, reads
// the 302's Location and fetches that (the loopback redirect). Works from
// the event loop; `done` hears the status of the redirect's answer (0 when
// it failed).
void FollowAuthorization(QNetworkAccessManager& network, const QUrl& url,
                         std::function<void(int status)> done = {});
