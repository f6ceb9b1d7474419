#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

class QNetworkAccessManager;

// What a token endpoint answered.
struct OAuthTokenAnswer {
    enum class Outcome {
        Granted,      // tokens in the fields below
        SignInNeeded, // the grant is no longer good (invalid_grant): sign in again
        Unreachable,  // a network error or a 5xx: try again later, keep what is stored
        Refused,      // any other error, or an answer that cannot be used
    };
    Outcome Result = Outcome::Refused;
    QString AccessToken;
    QString RefreshToken; // empty when the answer brought none
    qint64 ExpiresInSeconds = 0;
    QString Reason; // for the user, when not granted
};

// Reads a token endpoint's answer: JSON with "access_token", and perhaps
// "refresh_token" and "expires_in", or with "error". Tokens must be printable
// ASCII (a control character could end a POP3 line early); a body over
// kMaxTokenAnswerBytes, or one that is not such JSON, is refused.
inline constexpr qint64 kMaxTokenAnswerBytes = 1024 * 1024;
OAuthTokenAnswer ReadTokenAnswer(int httpStatus, bool networkError, const QString& networkReason,
                                 const QByteArray& body);

// Posts `form` to a token endpoint and waits for its answer (the event loop
// runs meanwhile), for at most timeoutMs.
OAuthTokenAnswer PostTokenRequest(QNetworkAccessManager& network, const QUrl& tokenUrl,
                                  const QUrlQuery& form, int timeoutMs = 30000);
