#pragma once

#include <QDateTime>
#include <QString>

class AppState;
class QNetworkAccessManager;
struct MailAccount;

// What a log-on with OAuth2 can go ahead with.
struct AccessTokenOutcome {
    enum class Outcome {
        Ready,        // Token is good for at least another minute
        SignInNeeded, // no sign-in yet, or the provider ended it
        Unreachable,  // the token URL failed for now; the sign-in is kept
    };
    Outcome Result = Outcome::SignInNeeded;
    QString Token;
    QString Reason;
    bool RefreshTokenChanged = false; // the provider gave a new one: save the accounts
};

// The access token an OAuth2 account logs on with: the one held in memory
// while it is good for more than a minute, else a fresh one from the token
// URL (one request). A refresh answer without a refresh token keeps the
// stored one; a network fault or a server error never throws it away.
AccessTokenOutcome TakeAccessToken(AppState& state, MailAccount& account,
                                   QNetworkAccessManager& network,
                                   const QDateTime& now = QDateTime::currentDateTimeUtc());
// Keeps the tokens a sign-in gave: the refresh token in the account, the
// access token in memory.
void KeepSignIn(AppState& state, MailAccount& account, const QString& refreshToken,
                const QString& accessToken, qint64 expiresInSeconds,
                const QDateTime& now = QDateTime::currentDateTimeUtc());
// Forgets the access token held for the account (the server refused it).
void DropAccessToken(AppState& state, const MailAccount& account);
