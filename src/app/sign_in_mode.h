#pragma once

#include "engine/oauth_sign_in.h"

#include <QTextStream>

class AppState;

// `larkwatch --sign-in TITLE`: signs the OAuth2 account of that title in
// without a window. Prints the authorization URL (for a user who would rather
// paste it into a browser) and hands it to `open`; stores the refresh token
// as the account's password is stored. Returns 0 when a token is stored, 1
// with the reason printed otherwise.
int RunSignInMode(AppState& state, const QString& title, QTextStream& out,
                  const OAuthSignIn::BrowserOpener& open);

// The desktop's browser, through xdg-open (found on the PATH).
bool OpenInDesktopBrowser(const QUrl& url);
