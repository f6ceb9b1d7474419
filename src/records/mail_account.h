#pragma once

#include "records/settings_keys.h"

#include <QString>

// Connection security of an account.
namespace Security {
inline const QString None = QStringLiteral("None");
inline const QString StartTls = QStringLiteral("STARTTLS");
inline const QString Tls = QStringLiteral("TLS");
} // namespace Security

// How an account signs in.
namespace SignIn {
inline const QString Password = QStringLiteral("Password");
inline const QString OAuth2 = QStringLiteral("OAuth2");
} // namespace SignIn

// OAuth2 providers with presets.
namespace OAuthProviderName {
inline const QString Google = QStringLiteral("Google");
inline const QString Microsoft = QStringLiteral("Microsoft");
inline const QString Custom = QStringLiteral("Custom");
} // namespace OAuthProviderName

// What an OAuth2 account signs in with; empty fields take the provider's presets.
struct OAuthSettings {
    QString Provider = OAuthProviderName::Custom;
    QString AuthUrl;
    QString TokenUrl;
    QString Scope;
    QString ClientId;
    QString ClientSecret;

    bool operator==(const OAuthSettings&) const = default;
};

// One configured POP3 account.
struct MailAccount {
    QString Title; // unique, shown in the tree and in status texts
    QString Host;
    QString User;
    QString Password; // plain in memory; in the desktop keyring or encoded in the settings file
    qint32 Port = qint32(AccountKeys::Port.Default);
    QString NodeKey; // "P1".."P32766", drawn anew at every load, never stored
    bool Disabled = AccountKeys::Disabled.Default;
    QString Security = Security::None; // "None", "STARTTLS" or "TLS"
    QString CertSHA256;                // hex fingerprint of a certificate the user trusts
    // Why the password could not be had at load (the settings file points at
    // the desktop keyring, which lacks the entry or did not answer); empty
    // when Password is the account's password. Never stored.
    QString PasswordProblem;
    QString Auth = SignIn::Password; // "Password" or "OAuth2"
    OAuthSettings OAuth;
    // OAuth2: the refresh token, kept as the password is; empty until the
    // user signs in. TokenProblem as PasswordProblem.
    QString OAuthToken;
    QString TokenProblem;

    bool UsesOAuth() const { return Auth == SignIn::OAuth2; }

    bool operator==(const MailAccount&) const = default;
};
