#pragma once

#include "records/mail_account.h"

#include <QList>
#include <QString>

#include <utility>

// What a provider fixes for signing in: its endpoints and scope, what its
// authorization URL needs besides, the redirect host it prefers, and the
// client id and secret given at build time (empty unless the builder
// registered one).
struct OAuthPreset {
    QString Provider;
    QString AuthUrl;
    QString TokenUrl;
    QString Scope;
    QList<std::pair<QString, QString>> ExtraAuthParameters;
    QString RedirectHost = QStringLiteral("127.0.0.1");
    QString ClientId;
    QString ClientSecret;
};

// The preset of "Google" or "Microsoft"; any other name: an empty preset of
// "Custom", which takes everything from the account.
OAuthPreset PresetFor(const QString& provider);

// The settings an account signs in with: its provider's preset with every
// field the account fills in put in its place.
OAuthPreset EffectiveOAuth(const OAuthSettings& settings);
