#include "engine/oauth_access.h"

#include "engine/oauth_token_endpoint.h"
#include "records/app_state.h"
#include "records/keyring_passwords.h"
#include "records/oauth_providers.h"

#include <QUrlQuery>

namespace {
using Outcome = AccessTokenOutcome::Outcome;

QString HeldKey(const MailAccount& account) {
    return KeyringEntryName(account, TokenSecret());
}
} // namespace

AccessTokenOutcome TakeAccessToken(AppState& state, MailAccount& account,
                                   QNetworkAccessManager& network, const QDateTime& now) {
    AccessTokenOutcome outcome;
    if (account.OAuthToken.isEmpty()) {
        outcome.Reason =
            account.TokenProblem.isEmpty()
                ? QStringLiteral("Not signed in: use Sign in in the account's settings")
                : account.TokenProblem;
        return outcome;
    }
    const auto held = state.AccessTokens.constFind(HeldKey(account));
    if (held != state.AccessTokens.cend() && held->Expires > now.addSecs(60)) {
        outcome.Result = Outcome::Ready;
        outcome.Token = held->Token;
        return outcome;
    }
    state.AccessTokens.remove(HeldKey(account));

    const OAuthPreset settings = EffectiveOAuth(account.OAuth);
    QUrlQuery form;
    form.addQueryItem(QStringLiteral("grant_type"), QStringLiteral("refresh_token"));
    form.addQueryItem(QStringLiteral("refresh_token"), account.OAuthToken);
    form.addQueryItem(QStringLiteral("client_id"), settings.ClientId);
    if (!settings.ClientSecret.isEmpty())
        form.addQueryItem(QStringLiteral("client_secret"), settings.ClientSecret);
    const OAuthTokenAnswer answer = PostTokenRequest(network, QUrl(settings.TokenUrl), form);
    switch (answer.Result) {
    case OAuthTokenAnswer::Outcome::Granted:
        break;
    case OAuthTokenAnswer::Outcome::SignInNeeded:
        outcome.Reason = answer.Reason;
        return outcome;
    case OAuthTokenAnswer::Outcome::Unreachable:
    case OAuthTokenAnswer::Outcome::Refused:
        // Perhaps a passing fault: the sign-in stays.
        outcome.Result = Outcome::Unreachable;
        outcome.Reason = answer.Reason;
        return outcome;
    }
    outcome.Result = Outcome::Ready;
    outcome.Token = answer.AccessToken;
    outcome.RefreshTokenChanged =
        !answer.RefreshToken.isEmpty() && answer.RefreshToken != account.OAuthToken;
    KeepSignIn(state, account,
               answer.RefreshToken.isEmpty() ? account.OAuthToken : answer.RefreshToken,
               answer.AccessToken, answer.ExpiresInSeconds, now);
    return outcome;
}

void KeepSignIn(AppState& state, MailAccount& account, const QString& refreshToken,
                const QString& accessToken, qint64 expiresInSeconds, const QDateTime& now) {
    account.OAuthToken = refreshToken;
    account.TokenProblem.clear();
    if (!accessToken.isEmpty())
        state.AccessTokens.insert(
            HeldKey(account), AppState::AccessToken{accessToken, now.addSecs(expiresInSeconds)});
}

void DropAccessToken(AppState& state, const MailAccount& account) {
    state.AccessTokens.remove(HeldKey(account));
}
