#pragma once

#include "engine/oauth_token_endpoint.h"
#include "records/oauth_providers.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QTcpServer;
class QTcpSocket;

// How a sign-in ended.
struct OAuthSignInResult {
    bool Ok = false;
    QString RefreshToken; // when Ok
    QString AccessToken;  // when Ok
    qint64 ExpiresInSeconds = 0;
    QString Reason; // when not Ok, for the user
};

// One OAuth2 sign-in with the authorization code and PKCE (S256): opens the
// provider's authorization URL in the browser, takes exactly one redirect to
// a loopback listener on 127.0.0.1 (a free port) carrying the right state,
// answers it with a short page, and exchanges the code at the token URL.
// Gives up after TimeoutMs. Without widgets, so the account dialog and the
// command line share it.
class OAuthSignIn : public QObject {
    Q_OBJECT
public:
    using BrowserOpener = std::function<bool(const QUrl&)>;

    OAuthSignIn(QNetworkAccessManager& network, QObject* parent = nullptr);
    ~OAuthSignIn() override;

    int TimeoutMs = 5 * 60 * 1000;
    int TokenTimeoutMs = 30000;
    qint64 MaxRequestBytes = 16 * 1024; // the browser's request to the redirect

    // Starts; Finished follows from the event loop, also for a start that
    // fails at once. `open` is handed the authorization URL.
    void Start(const OAuthPreset& settings, const BrowserOpener& open);
    // Ends a sign-in under way as failed ("Sign-in cancelled").
    void Cancel();
    // The authorization URL of the sign-in under way, for a user who would
    // rather paste it.
    QUrl AuthorizationUrl() const { return m_authorizationUrl; }
    QUrl RedirectUri() const { return m_redirectUri; }
    bool Running() const { return m_running; }

    // PKCE (RFC 7636): a verifier of 64 characters from the system's
    // cryptographic generator, and its S256 challenge.
    static QByteArray NewVerifier();
    static QByteArray ChallengeOf(const QByteArray& verifier);

Q_SIGNALS:
    void Finished(const OAuthSignInResult& result);

private:
    void OnConnection();
    void OnRequestData(QTcpSocket* socket);
    void Answer(QTcpSocket* socket, bool ok, const QString& text);
    void TakeRedirect(QTcpSocket* socket, const QUrl& target);
    void Finish(const OAuthSignInResult& result);
    void Fail(const QString& reason);

    QNetworkAccessManager& m_network;
    QPointer<QTcpServer> m_listener;
    QTimer m_giveUp;
    OAuthPreset m_settings;
    QByteArray m_verifier;
    QString m_state;
    QUrl m_redirectUri;
    QUrl m_authorizationUrl;
    bool m_running = false;
    bool m_redirectTaken = false;
};
Q_DECLARE_METATYPE(OAuthSignInResult)
