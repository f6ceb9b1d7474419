#include "app/sign_in_mode.h"

#include "engine/oauth_access.h"
#include "records/account_store.h"
#include "records/app_state.h"
#include "records/general_options_store.h"
#include "records/oauth_providers.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QProcess>

bool OpenInDesktopBrowser(const QUrl& url) {
    return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
}

int RunSignInMode(AppState& state, const QString& title, QTextStream& out,
                  const OAuthSignIn::BrowserOpener& open) {
    LoadGeneralOptions(state); // the Keyring option: where the token goes
    LoadAccounts(state);
    int position = 0;
    for (int n = 1; n <= state.AccountCount() && position == 0; ++n) {
        if (state.Account(n).Title == title)
            position = n;
    }
    auto fail = [&out, &title](const QString& reason) {
        out << "Not signed in: " << title << ": " << reason << '\n';
        out.flush();
        return 1;
    };
    if (position == 0)
        return fail(QStringLiteral("no account has this title"));
    if (!state.Account(position).UsesOAuth())
        return fail(QStringLiteral("the account signs in with a password, not OAuth2"));
    if (state.Account(position).Security == Security::None)
        return fail(QStringLiteral("OAuth2 needs a TLS connection (STARTTLS or TLS)"));

    QNetworkAccessManager network;
    OAuthSignIn flow(network);
    OAuthSignInResult result;
    QEventLoop loop;
    QObject::connect(&flow, &OAuthSignIn::Finished, &loop, [&](const OAuthSignInResult& r) {
        result = r;
        loop.quit();
    });
    flow.Start(EffectiveOAuth(state.Account(position).OAuth), [&](const QUrl& url) {
        out << "Open this address in your browser to sign in:\n"
            << url.toString(QUrl::FullyEncoded) << '\n';
        out.flush();
        return open ? open(url) : false;
    });
    loop.exec();
    if (!result.Ok)
        return fail(result.Reason);
    KeepSignIn(state, state.Account(position), result.RefreshToken, result.AccessToken,
               result.ExpiresInSeconds);
    SaveAccounts(state);
    if (!state.Store.AllWritten())
        return fail(QStringLiteral("the settings file could not be written"));
    out << "Signed in: " << title << '\n';
    out.flush();
    return 0;
}
